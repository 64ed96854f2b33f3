// The calibration page: settings, the program, the touch test and record files.
#include "console/calibration_dlg.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointingDevice>
#include <QScreen>
#include <QTouchEvent>
#include <filesystem>
#include <fstream>

#include "console/core/routing.h"
#include "console/touch_test_window.h"
#include "devlink/protocol.h"
#include "tests/gui/console/console_fixture.h"

namespace orvelle::console {
namespace {

using Page = CCalibrationDlg;

class CalibrationPageTest : public ConsoleTest {
 protected:
  Page& Open(const ControllerState& state = {}, std::chrono::milliseconds timeout = 5s) {
    Plug(state);
    Start(timeout);
    SelectTab(kTabCalibration);
    boxes_.Clear();
    return dialog_->CalibrationPage();
  }

  QAbstractButton* Button(int id) const {
    return DialogItemAs<QAbstractButton>(dialog_->CalibrationPage(), id);
  }
  void Click(int id) const { Button(id)->click(); }
  std::vector<int> Ids(bool checked) const {
    std::vector<int> ids;
    for (auto group :
         {std::span<const int>(Page::kOptionRadios), std::span<const int>(Page::kModeRadios),
          std::span<const int>(Page::kButtons)})
      for (int id : group)
        if (checked ? Button(id)->isChecked() : Button(id)->isEnabled()) ids.push_back(id);
    return ids;
  }
  std::vector<int> Checked() const { return Ids(true); }
  std::vector<int> Enabled() const { return Ids(false); }
  std::vector<uint8_t> SentSince(uint64_t seq) const {
    std::vector<uint8_t> codes;
    for (const SimEvent& e : sim_->Events().After(seq))
      if (e.kind == SimEvent::Kind::In && e.bytes.size() > 1) codes.push_back(e.bytes[1]);
    return codes;
  }
};

// Nothing is enabled before a refresh; one that learns no option leaves only the modes.
TEST_F(CalibrationPageTest, TheControllersOptionAndModeShowAndDecideWhatCanBeChanged) {
  Start(300ms);
  SelectTab(kTabCalibration);
  EXPECT_EQ(TakeBoxes(), (std::vector<QString>{Box(kMsgNotConnected), Box(kMsgNotConnected)}));
  EXPECT_EQ(Enabled(), std::vector<int>{});
  Plug({.calMode = 2, .calOption = 1});
  ASSERT_TRUE(QTest::qWaitFor([&] { return Status() == Text(1081); }));
  Page& page = dialog_->CalibrationPage();
  page.Refresh();
  EXPECT_EQ(Checked(), (std::vector<int>{Page::IDC_OPTION_1, Page::IDC_MODE_2}));
  EXPECT_FALSE(page.PictureRect().isEmpty());
  EXPECT_EQ(Enabled().size(), std::size(Page::kOptionRadios) + std::size(Page::kModeRadios) +
                                  std::size(Page::kButtons));

  // Option 4 is accepted, but has no radio and no picture.
  std::string error;
  ASSERT_TRUE(sim_->SetState({.calOption = 4}, error)) << error;
  page.Refresh();
  EXPECT_EQ(Checked(), (std::vector<int>{Page::IDC_OPTION_1, Page::IDC_MODE_4}));
  EXPECT_TRUE(page.PictureRect().isEmpty());
  sim_->SetFault({kCommandReportId, CAL_OPTION_13}, {FaultKind::Silent});
  page.Refresh();
  EXPECT_EQ(Enabled(),
            std::vector<int>(std::begin(Page::kModeRadios), std::end(Page::kModeRadios)));
}

// A record survives export, reset and import; a partial file is never sent.
TEST_F(CalibrationPageTest, TheRecordGoesToAFileAndComesBackOnlyWhole) {
  ControllerState calibrated;
  calibrated.record.x[0] = -7;
  calibrated.record.y[8] = 4100;
  Open(calibrated);
  const std::string file = configFolder_.File("saved.ini"),
                    damaged = configFolder_.File("damaged.ini");
  // Clicks `button` and answers the file dialog with `path` ("": cancelled).
  const auto use = [&](int button, const std::string& path, const std::vector<uint8_t>& sent,
                       const std::vector<QString>& boxes) {
    SCOPED_TRACE(path);
    fileDialogs_.answer = QString::fromStdString(path);
    const uint64_t seq = sim_->Events().LastSeq();
    Click(button);
    EXPECT_EQ(SentSince(seq), sent);
    EXPECT_EQ(TakeBoxes(), boxes);
  };
  use(Page::IDC_EXPORT, "", {}, {});
  use(Page::IDC_EXPORT, file, {CAL_READ_DATA}, {Box(kMsgSavedToFile, kMsgSavedCaption)});
  const std::string lost = configFolder_.File("none/saved.ini");
  use(Page::IDC_EXPORT, lost, {CAL_READ_DATA},
      {Box(kMsgNotSavedToFile) + "\n" + QString::fromStdString(lost) +
       ": No such file or directory"});
  std::ifstream saved(file, std::ios::binary);
  std::ofstream(damaged, std::ios::binary)
      << std::string(std::istreambuf_iterator<char>(saved), {}).substr(0, 120);

  std::string error;
  ASSERT_TRUE(sim_->SetState({}, error)) << error;
  ASSERT_NE(sim_->State().record, calibrated.record);
  use(Page::IDC_IMPORT, "", {}, {});
  use(Page::IDC_IMPORT, damaged, {}, {QCoreApplication::applicationName() + "|Failed to import!"});
  use(Page::IDC_IMPORT, file, {CAL_WRITE_DATA, CAL_READ_DATA}, {Box(kMsgSaved, kMsgSavedCaption)});
  EXPECT_EQ(sim_->State().record, calibrated.record);
}

TEST_F(CalibrationPageTest, ProgramResetAndApply) {
  ControllerState state{.calOption = 2};
  state.record.flags[0] = 1;
  Page& page = Open(state);
  const auto runs = [this] { return dialog_->CalibrationProgram().Runs(); };
  page.StartCalibrationProgram();
  EXPECT_EQ(launcher_.lastScreen, "Desk");
  // While it runs the console asks nothing and starts no second one; the
  // controller opened again is the console's once more.
  const uint64_t started = sim_->Events().LastSeq();
  page.Refresh();
  page.StartCalibrationProgram();
  EXPECT_EQ(std::tuple(runs(), SentSince(started).empty(), launcher_.starts),
            std::tuple(true, true, 1));
  EXPECT_EQ(TakeBoxes(), std::vector<QString>{Box(kMsgAlreadyStarted)});
  dialog_->ConnectAndShowStatus();
  page.Refresh();
  page.StartCalibrationProgram();
  launcher_.EndProgram();
  launcher_.result = LaunchResult::NotExecutable;
  Click(Page::IDC_START);
  EXPECT_EQ(Boxes(), std::vector<QString>{Box(kMsgLaunchNotExecutable)});
  EXPECT_EQ(std::tuple(runs(), launcher_.starts), std::tuple(false, 3));

  boxes_.ScriptAnswers({kIdNo, kIdYes});
  const uint64_t seq = sim_->Events().LastSeq();
  Click(Page::IDC_RESET);
  EXPECT_TRUE(SentSince(seq).empty());
  Click(Page::IDC_RESET);
  EXPECT_EQ(sim_->State().record, ControllerState::FactoryRecord());

  boxes_.Clear();
  Click(Page::IDC_OPTION_3);
  Click(Page::IDC_MODE_3);
  EXPECT_FALSE(page.PictureRect().isEmpty());
  Click(Page::IDC_APPLY);
  EXPECT_EQ(TakeBoxes(), std::vector<QString>{Box(kMsgSaved, kMsgSavedCaption)});
  EXPECT_TRUE(sim_->State().calOption == 3 && sim_->State().calMode == 3);
  // A refused mode puts the confirmed one back on screen.
  sim_->SetFault({kCalibrationReportId, CAL_SET_MODE}, {FaultKind::Refuse});
  Click(Page::IDC_MODE_2);
  Click(Page::IDC_APPLY);
  EXPECT_EQ(Boxes(), std::vector<QString>{Box(kMsgOperationFailed)});
  EXPECT_EQ(Checked(), (std::vector<int>{Page::IDC_OPTION_3, Page::IDC_MODE_3}));
}

// Silence is a failure wherever the page asks; a removal forgets the controller.
TEST_F(CalibrationPageTest, UnansweredRequestsFailAndARemovalForgetsTheController) {
  Page& page = Open({.calMode = 3, .calOption = 1}, 300ms);
  const std::string file = configFolder_.File("saved.ini");
  fileDialogs_.answer = QString::fromStdString(file);
  Click(Page::IDC_EXPORT);
  ASSERT_EQ(TakeBoxes(), std::vector<QString>{Box(kMsgSavedToFile, kMsgSavedCaption)});
  const QString failed = Box(kMsgOperationFailed);
  const std::tuple<uint8_t, int, std::string, std::vector<QString>> cases[] = {
      {CAL_SET_MODE, Page::IDC_APPLY, "", {failed}},
      {CAL_READ_DATA, Page::IDC_EXPORT, file + ".lost", {failed}},
      {CAL_WRITE_DATA, Page::IDC_IMPORT, file, {failed}},
      {CAL_RESET, Page::IDC_RESET, "", {Box(kMsgRestoreDefaults, kMsgSavedCaption), failed}},
  };
  for (const auto& [code, button, path, boxes] : cases) {
    SCOPED_TRACE(int(code));
    sim_->ClearFaults();
    sim_->SetFault({kCalibrationReportId, code}, {FaultKind::Silent});
    Click(Page::IDC_MODE_2);
    fileDialogs_.answer = QString::fromStdString(path);
    boxes_.ScriptAnswers({kIdYes});
    Click(button);
    EXPECT_EQ(TakeBoxes(), boxes);
    sim_->ClearFaults();
    page.Refresh();
    EXPECT_EQ(Checked(), (std::vector<int>{Page::IDC_OPTION_1, Page::IDC_MODE_3}));
  }
  EXPECT_FALSE(std::filesystem::exists(file + ".lost")) << "a late record is no export's";

  const std::string path = sim_->Path();
  sim_->Unplug();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Enabled().empty(); }));
  EXPECT_FALSE(page.State().optionKnown || page.State().modeKnown);
  std::string error;
  ASSERT_TRUE(sim_->SetState({.calMode = 2, .calOption = 3}, error)) << error;
  ASSERT_TRUE(sim_->Plug(path, error)) << error;
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Enabled().empty(); })) << "the arrival is read";
  EXPECT_EQ(Checked(), (std::vector<int>{Page::IDC_OPTION_3, Page::IDC_MODE_2}));
}

// A finger put down and lifted at `at`, in the window's coordinates.
void Tap(QWidget& window, const QPointingDevice& screen, QPointF at) {
  const QPointF global = window.mapToGlobal(at);
  for (const auto& [type, state] : {std::pair{QEvent::TouchBegin, QEventPoint::Pressed},
                                    std::pair{QEvent::TouchEnd, QEventPoint::Released}}) {
    QTouchEvent event(type, &screen, Qt::NoModifier, {QEventPoint(1, state, at, global)});
    QCoreApplication::sendEvent(&window, &event);
  }
}

// The portrait screen's diagonal is 2203 px: a cross fails beyond 33 px; offscreen is 100 dpi.
TEST_F(CalibrationPageTest, TouchTestMeasuresSynthesisedTouchesAndOffersACalibrationOnAFailure) {
  Page& page = Open();
  QScreen* frame = QGuiApplication::screens().value(1);
  ASSERT_TRUE(frame) << "the tests' two-screen layout";
  dialog_->setScreen(frame);
  dialog_->move(frame->geometry().topLeft() + QPoint(50, 50));
  const QPointingDevice touchScreen(
      QStringLiteral("test touch screen"), 1, QInputDevice::DeviceType::TouchScreen,
      QPointingDevice::PointerType::Finger, QInputDevice::Capability::Position, 1, 0);
  // Every touch misses its cross by `offset`.
  for (const auto& [offset, distance, passes] :
       {std::tuple{QPointF(20, -10), "22.4 px (5.7 mm)", true},
        {QPointF(0, 34), "34.0 px (8.6 mm)", false}}) {
    SCOPED_TRACE(distance);
    page.StartTouchTest();
    TouchTestWindow* test = page.TouchTest();
    ASSERT_TRUE(test);
    EXPECT_EQ(test->screen(), frame);
    EXPECT_EQ(test->geometry(), frame->geometry());
    EXPECT_EQ(test->Test().Crosses()[3], (TouchPoint{1046.25, 1860}));
    test->show();
    const uint64_t seq = sim_->Events().LastSeq();
    for (const TouchPoint& cross : test->Test().Crosses())
      Tap(*test, touchScreen, QPointF(cross.x, cross.y) + offset);

    EXPECT_EQ(test->CrossText(2), distance);
    EXPECT_TRUE(SentSince(seq).empty()) << "the controller is not involved";
    EXPECT_EQ(test->ReportText(), Text(passes ? kMsgTouchTestPassed : kMsgTouchTestFailed).arg(33));
    EXPECT_EQ(test->CalibrateAgainButton()->isVisible(), !passes);
    if (passes) {
      QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QCoreApplication::sendEvent(test, &escape);
      EXPECT_FALSE(test->isVisible()) << "Escape ends it";
    } else {
      test->CalibrateAgainButton()->click();
      EXPECT_FALSE(test->isVisible());
      EXPECT_EQ(launcher_.lastScreen, "Frame");
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page.TouchTest(); }));
  }
  EXPECT_EQ(launcher_.starts, 1);
}

}  // namespace
}  // namespace orvelle::console
