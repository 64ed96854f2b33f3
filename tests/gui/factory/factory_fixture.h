#pragma once
// The factory tool's main dialog on a link to an in-process simulated
// controller in a folder of its own, with recorded message boxes and the
// tool's modal dialogs answered by the test.

#include <gtest/gtest.h>

#include <QDialog>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "devlink/catalogue.h"
#include "devlink/usb_transfer.h"
#include "factory/about_dlg.h"
#include "factory/factory_dlg.h"
#include "factory/info_dlg.h"
#include "factory/touch_num_dlg.h"
#include "shell/recording_message_boxes.h"
#include "sim/simulated_controller.h"
#include "tests/support/sim_fixture.h"

namespace orvelle::factory_test {

using namespace std::chrono_literals;

// The factory profile with no start pause; `timeout` stands for the 20 s wait.
inline std::unique_ptr<CUSBTransfer> QuickFactoryLink(const std::string& folder,
                                                      std::chrono::milliseconds timeout) {
  return std::make_unique<CUSBTransfer>(testing::Quick(LinkProfile::Factory(), timeout),
                                        testing::SimOnlyBus(folder));
}

inline std::string NameOf(QDialog& d) {
  if (dynamic_cast<CTouchNumDlg*>(&d)) return "CTouchNumDlg";
  if (dynamic_cast<CInfoDlg*>(&d)) return "CInfoDlg";
  if (dynamic_cast<factory::CAboutDlg*>(&d)) return "CAboutDlg";
  return "QDialog";
}

class FactoryDialogTest : public ::testing::Test {
 protected:
  ~FactoryDialogTest() override {
    dialog_.reset();
    for (std::thread& t : answerers_)
      t.join();
  }

  void PlugController(const ControllerState& state = {}) {
    SimControllerOptions options = testing::ControllerIn(folder_);
    options.initialState = state;
    sim_ = std::make_unique<SimulatedController>(options);
    std::string error;
    ASSERT_TRUE(sim_->Start(error)) << error;
  }

  // A link time-out that is only a limit for a test that fails, unless the
  // test is about time-outs.
  void OpenDialog(std::chrono::milliseconds timeout = 10s) {
    dialog_ =
        std::make_unique<COrvelleFactoryConfig2Dlg>(QuickFactoryLink(folder_.Path(), timeout));
    dialog_->SetModalRunner([this](QDialog& d) {
      shownDialogs_.push_back(NameOf(d));
      return answerDialog_ ? answerDialog_(d) : int{QDialog::Rejected};
    });
    ASSERT_TRUE(dialog_->OnInitDialog());
  }

  // Answers the next request of `code` with `payload` in place of the
  // controller, for answers its validated state cannot produce. The request
  // itself is lost on the way (and with `keepSilent` every later one too).
  void AnswerNextWith(uint8_t code, std::vector<uint8_t> payload, bool keepSilent = false) {
    ReplyToNext(code, code, std::move(payload), keepSilent);
  }

  // As above, with a frame of command `answerCode`.
  void ReplyToNext(uint8_t requestCode, uint8_t answerCode, std::vector<uint8_t> payload,
                   bool keepSilent = false) {
    const uint64_t after = sim_->Events().LastSeq();
    sim_->SetFault({kCommandReportId, requestCode}, {FaultKind::Silent, !keepSilent});
    answerers_.emplace_back([this, requestCode, answerCode, after, payload = std::move(payload)] {
      const auto request = sim_->Events().WaitFor(
          [&](const SimEvent& e) {
            return e.IsFrame(SimEvent::Kind::In, kCommandReportId, requestCode);
          },
          after, 10s);
      if (request) sim_->SendFrame(kCommandReportId, answerCode, payload);
    });
  }

  // The requests the controller received since `after`, each up to its terminator.
  std::vector<std::vector<uint8_t>> Requests(uint64_t after = 0) const {
    std::vector<std::vector<uint8_t>> requests;
    for (const SimEvent& e : sim_->Events().After(after)) {
      if (e.kind != SimEvent::Kind::In || e.bytes.size() < 3) continue;
      const size_t end = std::min(e.bytes.size(), size_t{4} + e.bytes[2]);
      requests.emplace_back(e.bytes.begin(), e.bytes.begin() + static_cast<long>(end));
    }
    return requests;
  }

  testing::TempFolder folder_;
  RecordingMessageBoxes boxes_;
  std::unique_ptr<SimulatedController> sim_;
  std::unique_ptr<COrvelleFactoryConfig2Dlg> dialog_;
  std::function<int(QDialog&)> answerDialog_;
  std::vector<std::string> shownDialogs_;
  std::vector<std::thread> answerers_;
};

}  // namespace orvelle::factory_test
