#include <gtest/gtest.h>

#include <QtCore/qtestsupport_core.h>
#include <QAbstractButton>
#include <QLineEdit>
#include <QMenu>
#include <thread>
#include <typeindex>

#include "devlink/protocol.h"
#include "devlink/usb_transfer.h"
#include "factory/factory_app.h"
#include "factory/factory_dlg.h"
#include "factory/factory_strings.h"
#include "factory/info_dlg.h"
#include "factory/touch_num_dlg.h"
#include "shell/dialog_support.h"
#include "shell/recording_message_boxes.h"
#include "sim/simulated_controller.h"
#include "tests/support/sim_fixture.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Pauses = std::vector<std::chrono::milliseconds>;

const QString kTimedOut = QStringLiteral(u"错误|操作超时，请重试!");
const QString kNotConnected = QStringLiteral(u"错误|设备没有连接，不能访问!");
const QString kSucceeded = QStringLiteral(u"注意|设置成功!");
const QString kFailed = QStringLiteral(u"错误|设置失败!");
const Bytes kLimitsRequest{0x07, 0x11, 0x01, 0x03, 0xFF};

class FactoryMainTest : public ::testing::Test {
 protected:
  ~FactoryMainTest() override {
    dialog_.reset();
    for (std::thread& t : answerers_)
      t.join();
  }

  // `timeout` stands for the profile's 20 s and is only a limit unless the test is about time-outs.
  void Open(std::chrono::milliseconds timeout = 10s, const ControllerState& state = {}) {
    sim_ = testing::StartController(folder_.Path(), state);
    ASSERT_TRUE(sim_);
    dialog_ = std::make_unique<COrvelleFactoryConfig2Dlg>(std::make_unique<CUSBTransfer>(
        testing::Quick(LinkProfile::Factory(), timeout), testing::SimOnlyBus(folder_.Path())));
    dialog_->SetModalRunner([this](QDialog& d) {
      shown_.emplace_back(typeid(d));
      return answerDialog_ ? answerDialog_(d) : int{QDialog::Rejected};
    });
    ASSERT_TRUE(dialog_->OnInitDialog());
    dialog_->Link().RecordPauses([this](std::chrono::milliseconds p) { pauses_.push_back(p); });
  }

  // The next `requestCode` is lost and answered as the controller's validated state cannot.
  void ReplyToNext(uint8_t requestCode, uint8_t answerCode, Bytes payload) {
    const uint64_t after = sim_->Events().LastSeq();
    sim_->SetFault({kCommandReportId, requestCode}, {FaultKind::Silent, true});
    answerers_.emplace_back([this, requestCode, answerCode, after, payload = std::move(payload)] {
      if (testing::AwaitFrame(*sim_, SimEvent::Kind::In, kCommandReportId, requestCode, 10s, after))
        sim_->SendFrame(kCommandReportId, answerCode, payload);
    });
  }

  // The requests the controller received since `after`, each up to its terminator.
  std::vector<Bytes> Requests(uint64_t after = 0) const {
    std::vector<Bytes> requests;
    for (const SimEvent& e : sim_->Events().After(after)) {
      if (e.kind != SimEvent::Kind::In || e.bytes.size() < 3) continue;
      const size_t end = std::min(e.bytes.size(), size_t{4} + e.bytes[2]);
      requests.emplace_back(e.bytes.begin(), e.bytes.begin() + static_cast<long>(end));
    }
    return requests;
  }

  // Every box shown so far as "caption|text"; each on the main window, OK only.
  std::vector<QString> Boxes() const {
    std::vector<QString> shown;
    for (const RecordedMessageBox& box : boxes_.Boxes()) {
      EXPECT_EQ(std::tuple(box.owner, box.style, box.onWindowThread),
                (std::tuple<const QWidget*, unsigned, bool>(dialog_.get(), kMbOk, true)));
      shown.push_back(box.caption + "|" + box.text);
    }
    return shown;
  }

  testing::TempFolder folder_;
  RecordingMessageBoxes boxes_;
  std::unique_ptr<SimulatedController> sim_;
  std::unique_ptr<COrvelleFactoryConfig2Dlg> dialog_;
  std::function<int(QDialog&)> answerDialog_;
  std::vector<std::type_index> shown_;
  Pauses pauses_;
  std::vector<std::thread> answerers_;
};

TEST_F(FactoryMainTest, ProductionLinkIsTheFactoryProfile) {
  const auto link = COrvelleFactoryConfig2App::MakeProductionLink();
  EXPECT_EQ(std::pair(link->Profile().identities, link->Profile().recogniser),
            std::pair(std::vector<HidIdentity>{{0x2A5C, 19}}, Recogniser::Factory));
}

// One controller through the tool's life: model read, touch count read and written, a lost link.
TEST_F(FactoryMainTest, OnlyItsTwoOperationsSendAnythingAndEachAnswerCountsInItsShape) {
  ControllerState state;  // its model text "OVT-6510": eight characters, no zero byte
  state.touchMaximum = 10;
  state.touchCount = 4;
  Open(10s, state);
  EXPECT_EQ(DialogItemAs<QLineEdit>(*dialog_, 1008)->text(), factory::DeviceConnectedText());
  ASSERT_TRUE(dialog_->SystemMenu() && !dialog_->SystemMenu()->actions().isEmpty()) << "about";
  for (int id : {1002, 1003, 1004})
    EXPECT_FALSE(DialogItemAs<QAbstractButton>(*dialog_, id)->isEnabled()) << id;
  EXPECT_TRUE(Requests().empty() && Boxes().empty() && shown_.empty());

  QString model;
  answerDialog_ = [&](QDialog& d) {
    model = DialogItemAs<QLineEdit>(d, 1007)->text();
    return int{QDialog::Accepted};
  };
  dialog_->ShowBasicInfo();
  EXPECT_EQ(model, QStringLiteral("OVT-6510"));
  EXPECT_EQ(Requests(), std::vector<Bytes>{Bytes({0x07, 0xF2, 0x01, 0x01, 0xFF})});
  EXPECT_EQ(pauses_, Pauses{20ms}) << "the controller needs a pause after answering";
  EXPECT_TRUE(Boxes().empty());

  // `limits` answered in place of the controller when given; the touch dialog ended by `button`.
  using Case = std::tuple<const char*, Bytes, int, std::optional<uint8_t>, std::vector<QString>>;
  const Case cases[] = {
      {"OK alone sends the current count", {}, 1, 4, {kSucceeded}},
      {"a maximum above 16 makes the count 0, which is refused", {3, 20, 4}, 1, 0, {kFailed}},
      {"Cancel sends nothing", {}, 2, std::nullopt, {}},
  };
  for (const auto& [what, limits, button, written, boxes] : cases) {
    SCOPED_TRACE(what);
    boxes_.Clear(), pauses_.clear();
    const uint64_t before = sim_->Events().LastSeq();
    if (!limits.empty()) ReplyToNext(TOUCH_SETTINGS, TOUCH_SETTINGS, limits);
    answerDialog_ = [&](QDialog& d) {
      DialogItemAs<QAbstractButton>(d, button)->click();
      return d.result();
    };
    dialog_->SetTouchCount();
    // A count the controller took is read back.
    const bool taken = boxes == std::vector{kSucceeded};
    std::vector<Bytes> sent{kLimitsRequest};
    if (written) sent.push_back({0x07, 0x11, 0x02, 0x04, *written, 0xFF});
    if (taken) sent.push_back(kLimitsRequest);
    EXPECT_EQ(Requests(before), sent);
    EXPECT_EQ(pauses_, Pauses(written ? (taken ? 2 : 1) : 0, 20ms)) << "after a write and its read";
    EXPECT_EQ(Boxes(), boxes);
  }

  // An answer counts only with its report ID, code, sub-function and exact payload length, and
  // only for the bytes the frame holds; the limits are kept within what the touch dialog offers.
  // Expected after: model text, maximum, count.
  using Answer =
      std::tuple<const char*, uint8_t, uint8_t, Bytes, size_t, std::tuple<QString, int, int>>;
  const auto text = [](uint8_t sub, size_t n) {  // sub-function, then n characters
    Bytes payload(n + 1, 'X');
    return payload[0] = sub, payload;
  };
  const Bytes zeroAfterTwo{1, 'A', 'B', 0, 'C', 'D', 'E', 'F', 'G'};
  const auto ab = [](int maximum, int count) { return std::tuple(QString("AB"), maximum, count); };
  const Answer answers[] = {
      {"model text up to its zero byte", 7, GET_MODEL, zeroAfterTwo, 64, ab(10, 4)},
      {"limits", 7, TOUCH_SETTINGS, {3, 16, 16}, 64, ab(16, 16)},
      {"not a read", 7, GET_MODEL, text(2, 8), 64, ab(16, 16)},
      {"model text one short", 7, GET_MODEL, text(1, 7), 64, ab(16, 16)},
      {"model text one long", 7, GET_MODEL, text(1, 9), 64, ab(16, 16)},
      {"calibration frame", 6, GET_MODEL, text(1, 8), 64, ab(16, 16)},
      {"cut short", 7, GET_MODEL, text(1, 8), 3, ab(16, 16)},
      {"the console's read", 7, TOUCH_SETTINGS, {1, 2, 2}, 64, ab(16, 16)},
      {"limits one short", 7, TOUCH_SETTINGS, {3, 2}, 64, ab(16, 16)},
      {"limits one long", 7, TOUCH_SETTINGS, {3, 2, 2, 2}, 64, ab(16, 16)},
      {"maximum above 16", 7, TOUCH_SETTINGS, {3, 20, 4}, 64, ab(0, 0)},
      {"current above the maximum", 7, TOUCH_SETTINGS, {3, 10, 16}, 64, ab(10, 0)},
  };
  for (const auto& [what, reportId, code, payload, length, after] : answers) {
    const Bytes frame = testing::Request(reportId, code, payload);
    dialog_->OnAnswer(std::span<const uint8_t>(frame).first(length));
    const auto& [model, maximum, count] = dialog_->Shared();
    EXPECT_EQ(std::tuple(model, maximum, count), after) << what;
  }

  boxes_.Clear();
  const uint64_t before = sim_->Events().LastSeq();
  dialog_->Link().SetConnected(false);
  dialog_->SetTouchCount();
  EXPECT_EQ(Boxes(), (std::vector{kNotConnected, kTimedOut}));
  EXPECT_TRUE(Requests(before).empty());
}

// An answer after the wait, one to the other request or a wrong-length acknowledgement
// is no answer; a lost write acknowledged by a stray answer is caught by its read-back.
// After an unplug the tool does not re-open: the next button says why nothing is done.
TEST_F(FactoryMainTest, OnlyTheAwaitedAnswerEndsPollingAndAnUnplugIsToldAtTheNextButton) {
  ControllerState state;
  state.touchMaximum = 10;
  state.touchCount = 4;
  Open(100ms, state);
  sim_->SetFault({kCommandReportId, GET_MODEL}, {FaultKind::Delay, true, 500ms});
  dialog_->ShowBasicInfo();
  ReplyToNext(GET_MODEL, TOUCH_SETTINGS, {3, 10, 4});
  dialog_->ShowBasicInfo();
  EXPECT_TRUE(shown_.empty());
  EXPECT_TRUE(Boxes().empty()) << "basic information gives up silently";

  for (const auto& [acknowledgement, box] :
       {std::pair{Bytes{4, 1, 1}, kTimedOut},
        {Bytes{4, 1}, QStringLiteral(u"错误|设置没有生效，设备现在的触点个数是 4!")}}) {
    boxes_.Clear();
    answerDialog_ = [this, acknowledgement](QDialog& d) {
      ReplyToNext(TOUCH_SETTINGS, TOUCH_SETTINGS, acknowledgement);
      DialogItemAs<QAbstractButton>(d, 1010)->click();  // 2 points
      DialogItemAs<QAbstractButton>(d, 1)->click();
      return d.result();
    };
    dialog_->SetTouchCount();
    EXPECT_EQ(Boxes(), std::vector{box});
  }
  EXPECT_EQ(shown_, std::vector<std::type_index>(2, typeid(CTouchNumDlg)));
  EXPECT_EQ(sim_->State().touchCount, 4);

  boxes_.Clear();
  sim_->Unplug();
  ASSERT_TRUE(QTest::qWaitFor([this] { return dialog_->ControllerRemoved(); }));
  EXPECT_EQ(dialog_->StatusText(), factory::DeviceConnectedText());
  EXPECT_TRUE(dialog_->Link().IsConnected());
  dialog_->SetTouchCount();
  EXPECT_EQ(Boxes(), std::vector{QStringLiteral(u"错误|") + factory::ControllerRemovedText()});
}

}  // namespace
}  // namespace orvelle
