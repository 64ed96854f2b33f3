#pragma once
// The console's window offscreen against the test's own simulated controller.

#include <gtest/gtest.h>

#include <QtCore/qtestsupport_core.h>
#include <QLineEdit>
#include <QTabWidget>

#include "console/console_dlg.h"
#include "console/console_services.h"
#include "console/core/logon_entry.h"
#include "console/core/message_ids.h"
#include "console/info_dlg.h"
#include "devlink/usb_transfer.h"
#include "platform/file_registry.h"
#include "shell/dialog_support.h"
#include "shell/language_library.h"
#include "shell/recording_message_boxes.h"
#include "sim/simulated_controller.h"
#include "tests/support/sim_fixture.h"

namespace orvelle::console {

using namespace std::chrono_literals;

// Answers the next save or open dialog with `answer`; empty: cancelled.
class ScriptedFileDialogs : public FileDialogService {
 public:
  QString SaveFileName(QWidget*, const QString&, const QString&) override { return Next(); }
  QString OpenFileName(QWidget*, const QString&, const QString&) override { return Next(); }
  QString Next() { return std::exchange(answer, {}); }
  QString answer;
};

class FakeLauncher : public ProgramLauncher {
 public:
  LaunchResult StartCalibrationProgram(const std::string& device, const std::string& screen,
                                       std::function<void()> ended) override {
    ++starts;
    lastDevice = device;
    lastScreen = screen;
    if (result == LaunchResult::Started) running = std::move(ended);
    return result;
  }
  void EndProgram() {
    if (auto ended = std::exchange(running, nullptr)) ended();
  }
  LaunchResult result = LaunchResult::Started;
  int starts = 0;
  std::string lastDevice, lastScreen;
  std::function<void()> running;
};

class ConsoleTest : public ::testing::Test {
 protected:
  ConsoleTest() {
    EXPECT_TRUE(library_.Load(QStringLiteral("KelvraEnglish"), {QStringLiteral(KELVRA_PACK_DIR)}));
    SetCurrentLanguageLibrary(&library_);
    environment_.registry = &registry_;
    environment_.logonEntry = logon_.get();
    environment_.programPath = "/opt/Orvelle Touch/OrvelleConsole";
    environment_.trayAvailable = true;
    environment_.fileDialogs = &fileDialogs_;
    environment_.launcher = &launcher_;
  }
  ~ConsoleTest() override {
    dialog_.reset();
    SetCurrentLanguageLibrary(nullptr);
  }

  void Plug(const ControllerState& state = {}) {
    sim_.reset();
    sim_ = orvelle::testing::StartController(simFolder_.Path(), state);
    ASSERT_TRUE(sim_);
  }

  // `timeout` stands for the console's 2 s wait; it only limits a failing test.
  COrvelleConsoleDlg& Start(std::chrono::milliseconds timeout = 5s,
                            std::shared_ptr<HidBus> bus = nullptr) {
    dialog_.reset();
    link_ =
        std::make_unique<CUSBTransfer>(orvelle::testing::Quick(LinkProfile::Console(), timeout),
                                       bus ? bus : orvelle::testing::SimOnlyBus(simFolder_.Path()));
    environment_.link = link_.get();
    dialog_ = std::make_unique<COrvelleConsoleDlg>(environment_);
    dialog_->OnInitDialog();
    return *dialog_;
  }

  QString Field(int id) const {
    const auto* edit = DialogItemAs<QLineEdit>(dialog_->InfoPage(), id);
    return edit ? edit->text() : QStringLiteral("<missing>");
  }
  void SelectTab(int tab) { dialog_->TabControl()->setCurrentIndex(tab); }
  std::vector<QString> Boxes() const {
    std::vector<QString> boxes;
    for (const RecordedMessageBox& b : boxes_.Boxes())
      boxes.push_back(b.caption + "|" + b.text);
    return boxes;
  }
  std::vector<QString> TakeBoxes() {
    const std::vector<QString> boxes = Boxes();
    boxes_.Clear();
    return boxes;
  }
  QString Box(int text, int caption = kMsgErrorCaption) const {
    return library_.String(caption) + "|" + library_.String(text);
  }
  QString Status() const { return dialog_->StatusText(); }
  QString Text(int id) const { return library_.String(id); }

  LanguageLibrary library_;
  orvelle::testing::TempFolder simFolder_, configFolder_;
  FileRegistry registry_{configFolder_.Path()};
  std::unique_ptr<LogonEntry> logon_ = MakeAutostartEntry(configFolder_.File("autostart"));
  RecordingMessageBoxes boxes_;
  ScriptedFileDialogs fileDialogs_;
  FakeLauncher launcher_;
  std::unique_ptr<SimulatedController> sim_;
  std::unique_ptr<CUSBTransfer> link_;
  ConsoleEnvironment environment_;
  std::unique_ptr<COrvelleConsoleDlg> dialog_;
};

}  // namespace orvelle::console
