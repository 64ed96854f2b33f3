#include <gtest/gtest.h>

#include <QtCore/qtestsupport_core.h>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <cerrno>

#include "calibration/calibration_dlg.h"
#include "calibration/screen_colours.h"
#include "calibration/screen_setup.h"
#include "calibration/xp_image_button.h"
#include "devlink/hid/sim_bus.h"
#include "platform/file_registry.h"
#include "platform/os_version.h"
#include "shell/about_dlg.h"
#include "shell/language_library.h"
#include "shell/recording_message_boxes.h"
#include "sim/simulated_controller.h"
#include "tests/support/hidraw_like_bus.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/wait_until.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

const std::vector<RawPoint> kSkewedCorners{{100, 90}, {4000, 120}, {3950, 4010}, {140, 3900}};

class CalibrationDialogTest : public ::testing::Test {
 protected:
  CalibrationDialogTest() {
    EXPECT_TRUE(
        library_.Load(QStringLiteral("TessalyEnglish"), {QStringLiteral(TESSALY_PACK_DIR)}));
    SetCurrentLanguageLibrary(&library_);
    environment_.bus = MakeSimBus(simDir_.Path());
    environment_.profile = testing::Quick(LinkProfile::Calibration(), 3s);
    environment_.registry = &registry_;
    environment_.osVersion = &os_;
    environment_.displayOrientation = 0;
    environment_.screen = QRect(0, 0, 1920, 1080);
    environment_.seedFromDesktop = true;
    environment_.desktopDoubleClick = DesktopDoubleClick{4, 500};
  }
  ~CalibrationDialogTest() override {
    sim_.reset();
    SetCurrentLanguageLibrary(nullptr);
  }

  void PlugController(uint8_t mode) {
    sim_ = testing::StartController(simDir_.Path(), {.calMode = mode});
    ASSERT_TRUE(sim_);
  }

  // Initialised as exec does; the test gives every tick. Zero start pauses are not recorded.
  std::unique_ptr<CCalibrationDlg> StartDialog() {
    auto dialog = std::make_unique<CCalibrationDlg>(environment_);
    dialog->link().RecordPauses([this](std::chrono::milliseconds p) {
      if (p > 0ms) pauses_.push_back(p);
    });
    if (dialog->OnInitDialog()) dialog->timer().stop();
    return dialog;
  }

  // The controller touches every target, at `positions` in capture order (nominal where missing).
  void TouchTargets(std::vector<RawPoint> positions = {}) {
    TargetRun run{.positions = std::move(positions), .rate = 0, .gap = 20ms, .startDelay = 0ms};
    run.waitLimit = 5s;
    sim_->TouchTargets(run);
  }

  std::vector<QString> Boxes() const {
    std::vector<QString> texts;
    for (const RecordedMessageBox& box : boxes_.Boxes())
      texts.push_back(box.caption + "|" + box.text);
    return texts;
  }
  static QString Box(int textId, int captionId = 1050) {
    return LoadResourceString(captionId) + "|" + LoadResourceString(textId);
  }

  // The payload of the last `code` the controller received, if any.
  std::optional<Bytes> Sent(uint8_t code) const {
    std::optional<Bytes> payload;
    for (const SimEvent& e : sim_->Events().After(0))
      if (e.IsFrame(SimEvent::Kind::In, kCalibrationReportId, code))
        payload.emplace(e.bytes.begin() + 3,
                        e.bytes.begin() + std::min<size_t>(e.bytes.size(), 3 + e.bytes[2]));
    return payload;
  }

  testing::TempFolder simDir_;
  testing::TempFolder configDir_;
  LanguageLibrary library_;
  FileRegistry registry_{configDir_.Path()};
  FixedOsVersion os_{{kVerPlatformOther, 0, 0}};
  RecordingMessageBoxes boxes_;
  std::unique_ptr<SimulatedController> sim_;
  CalibrationEnvironment environment_;
  std::vector<std::chrono::milliseconds> pauses_;
};

TEST_F(CalibrationDialogTest, NineTargetRunIsShownWrittenAndKeptOnOk) {
  PlugController(4);
  auto dialog = StartDialog();
  ASSERT_FALSE(dialog->ended());
  EXPECT_EQ(std::tuple(sim_->Calibrating(), dialog->cursorHidden(), dialog->instructionText()),
            std::tuple(true, true, LoadResourceString(1055)))
      << "CAL_BEGIN confirmed";
  const QRect ok = dialog->okButton()->geometry(), cancel = dialog->cancelButton()->geometry();
  EXPECT_EQ(ok.topLeft(), QPoint(960 - 210, 432 + 40));
  EXPECT_EQ(dialog->targetRects()[0], QRect(930, 510, 60, 60));

  // Shown while the first target is active (blink on), and once the run is complete.
  const QColor back = kScreenBackground, active = kActiveTargetColour, grey = kFinishedTargetColour;
  const std::tuple<const char*, QPoint, QColor, QColor> probes[] = {
      {"background", {500, 800}, back, back},
      {"centre target", {960, 540}, active, grey},
      {"top-left target", {60, 34}, back, grey},
      {"OK", {ok.left() + 70, ok.top() + 2}, back, kButtonFace},
      {"Cancel", {cancel.left() + 70, cancel.top() + 2}, back, kButtonFace},
      {"above OK", {ok.left() + 70, ok.top() - 1}, back, back},
  };
  const auto shot = [&] { return dialog->grab().toImage().convertToFormat(QImage::Format_RGB32); };
  dialog->OnTimer(CCalibrationDlg::kTimerId);
  const QImage running = shot();

  TouchTargets();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return Sent(CAL_SET_POINTS).has_value(); }, testing::kWaitLimitMs));
  EXPECT_FALSE(dialog->cursorHidden());
  EXPECT_EQ(Sent(CAL_SET_POINTS), CalibrationPointsPayload(dialog->run().result()));

  dialog->OnTimer(CCalibrationDlg::kTimerId);
  EXPECT_EQ(dialog->instructionText(), LoadResourceString(1056));
  EXPECT_EQ(dialog->countdownText(), "Time left: 30 s");
  const QImage complete = shot();
  for (const auto& [what, at, whileRunning, whenComplete] : probes) {
    EXPECT_EQ(running.pixelColor(at), whileRunning) << what;
    EXPECT_EQ(complete.pixelColor(at), whenComplete) << what;
  }

  dialog->OnOK();
  EXPECT_EQ(std::pair(dialog->result(), Sent(CAL_END)),
            std::pair(int{QDialog::Accepted}, std::optional{Bytes{1}}));
  const ControllerState state = sim_->State();
  EXPECT_EQ(std::tuple(state.record.flags[0], state.record.x[8], state.record.y[5]),
            std::tuple(1, -1, 4096));
  EXPECT_EQ(pauses_, (std::vector{50ms, 500ms, 500ms})) << "after GET_MODE, BEGIN and END";
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(CalibrationDialogTest, FourCornersOnARotatedWindows7DisplayAndCancel) {
  const FixedOsVersion windows7({kVerPlatformNt, 6, 1});
  environment_.osVersion = &windows7;
  environment_.displayOrientation = 1;
  PlugController(2);
  auto dialog = StartDialog();
  EXPECT_EQ(std::pair(dialog->run().osClass(), dialog->run().orientation()), std::pair(6, 1));
  TouchTargets(kSkewedCorners);
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return Sent(CAL_SET_POINTS).has_value(); }, testing::kWaitLimitMs));
  dialog->OnCancel();
  EXPECT_EQ(std::tuple(dialog->result(), Sent(CAL_END), sim_->State().affineActive),
            std::tuple(int{QDialog::Rejected}, std::optional{Bytes{0}}, false));
}

// Pointed at the second of two controllers (as --device does), the run calibrates that one and
// sends the first nothing.
TEST_F(CalibrationDialogTest, PointedAtTheSecondOfTwoControllersItCalibratesThatOneOnly) {
  const auto first = testing::StartController(simDir_.Path(), {.calMode = 2});
  sim_ = std::make_unique<SimulatedController>(
      SimControllerOptions{.socketPath = DefaultSocketPath(simDir_.Path(), 0x2A5C, 19, 2),
                           .initialState = {.calMode = 2}});
  std::string error;
  ASSERT_TRUE(first && sim_->Start(error)) << error;
  environment_.device = sim_->Path();
  auto dialog = StartDialog();
  TouchTargets(kSkewedCorners);
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return Sent(CAL_SET_POINTS).has_value(); }, testing::kWaitLimitMs));
  dialog->OnOK();
  EXPECT_TRUE(sim_->State().affineActive);
  const auto received = [](const SimEvent& e) { return e.kind == SimEvent::Kind::In; };
  EXPECT_EQ(first->Events().Count(received, 0), 0u);
}

TEST(CalibrationScreenChoice, ByNameOrNumberElseThePrimary) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  ASSERT_EQ(screens.size(), 2) << "the tests' two-screen layout";
  EXPECT_EQ((std::vector{ChosenScreen("Frame"), ChosenScreen("1"), ChosenScreen("Desk"),
                         ChosenScreen("2"), ChosenScreen(std::nullopt)}),
            (std::vector<QScreen*>{screens[1], screens[1], screens[0], nullptr, nullptr}));
}

TEST_F(CalibrationDialogTest,
       TargetsFollowTheChosenScreenAndTwentySecondsWithoutAPointDiscardTheRun) {
  QScreen* frame = QGuiApplication::screens().value(1);
  environment_.display = frame;
  environment_.screen.reset(), environment_.displayOrientation.reset();
  PlugController(4);
  auto dialog = StartDialog();
  EXPECT_EQ(std::pair(dialog->screen(), dialog->geometry()),
            std::pair(frame, QRect(1920, 0, 1080, 1920)));
  // Portrait: top left, bottom right and centre at 1/32, 31/32 and 1/2 of 1080 x 1920.
  const std::array<QRect, kTargetSlots>& targets = dialog->targetRects();
  EXPECT_TRUE(targets[1].contains(34, 60) && targets[5].contains(1046, 1860) &&
              targets[0].contains(540, 960));
  EXPECT_EQ(dialog->orientation(), 0) << "the frame screen's, not rotated";

  for (int tick = 1; tick < 40; ++tick)
    dialog->OnTimer(CCalibrationDlg::kTimerId);
  dialog->OnTimer(7);
  EXPECT_FALSE(dialog->ended()) << "other timers are not the run's";
  dialog->OnTimer(CCalibrationDlg::kTimerId);
  EXPECT_EQ(std::tuple(dialog->ended(), Sent(CAL_END), sim_->Calibrating()),
            std::tuple(true, std::optional{Bytes{0}}, false));
}

TEST_F(CalibrationDialogTest, CornerTouchedTwiceIsToldOnTheScreen) {
  PlugController(2);
  auto dialog = StartDialog();
  TouchTargets({kSkewedCorners[0], kSkewedCorners[1], kSkewedCorners[2], kSkewedCorners[0]});
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return sim_->WaitTouchesDone(0ms) && dialog->instructionText() == LoadResourceString(1067);
      },
      testing::kWaitLimitMs));
  EXPECT_FALSE(Sent(CAL_SET_POINTS).has_value()) << "no coefficients from collinear corners";
  EXPECT_TRUE(Boxes().empty()) << "told on the screen, not in a box";
}

// The double-click settings come first, then the controller is looked for.
TEST_F(CalibrationDialogTest, WithoutAControllerTheProgramEndsAfterItsMessages) {
  environment_.seedFromDesktop = false;
  auto dialog = std::make_unique<CCalibrationDlg>(environment_);
  EXPECT_FALSE(dialog->OnInitDialog());
  EXPECT_TRUE(dialog->ended());
  EXPECT_EQ(Boxes(), (std::vector<QString>{Box(1063), Box(1059, 1060), Box(1065)}));
  EXPECT_FALSE(dialog->timer().isActive() || dialog->cursorHidden());
  EXPECT_EQ(dialog->exec(), QDialog::Rejected) << "exec does not start a second time";
}

// On a hidraw-like node: a controller this user may not open, one unplugged while starting.
TEST_F(CalibrationDialogTest, StartWithAnUnopenableOrVanishingController) {
  for (const auto& [what, refuse, boxes] :
       {std::tuple{"no udev rule", EACCES, std::vector{Box(1068, 1060), Box(1065)}},
        std::tuple{"unplugged at CAL_BEGIN", 0, std::vector{Box(1061), Box(1065)}}}) {
    SCOPED_TRACE(what);
    boxes_.Clear();
    auto bus = std::make_shared<testing::HidrawLikeBus>();
    bus->RefuseOpens(refuse);
    bus->SetResponder([](testing::HidrawLikeBus& b, size_t index, const auto& r) {
      if (r[1] == CAL_BEGIN) return b.Unplug();
      b.PushInput(index, testing::Request(kCalibrationReportId, r[1], {4}));
    });
    environment_.bus = bus;
    auto dialog = std::make_unique<CCalibrationDlg>(environment_);
    dialog->OnInitDialog();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->ended(); }, 5000));
    EXPECT_EQ(Boxes(), boxes);
    EXPECT_FALSE(dialog->cursorHidden());
  }
}

// A result the controller did not take is never offered to be kept: the run
// ends, discarded, and says why.
TEST_F(CalibrationDialogTest, PointsRefusedOrLostEndTheRunUnchanged) {
  environment_.profile.answerTimeout = 300ms;
  for (const auto& [fault, box] : {std::pair{FaultKind::Refuse, 1066}, {FaultKind::Silent, 1071}}) {
    boxes_.Clear();
    sim_.reset();
    PlugController(3);
    sim_->SetFault({kCalibrationReportId, CAL_SET_POINTS}, FaultRule{fault});
    auto dialog = StartDialog();
    TouchTargets();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->ended(); }, testing::kWaitLimitMs));
    EXPECT_EQ(Boxes(), std::vector<QString>{Box(box)});
    EXPECT_EQ(Sent(CAL_SET_POINTS).value_or(Bytes{}).size(), 36u) << "mode 3 sends nine points";
    EXPECT_EQ(Sent(CAL_END), Bytes{0});
    EXPECT_TRUE(dialog->okButton()->isHidden());
  }
}

TEST_F(CalibrationDialogTest, AboutBoxComesFromItsTemplate) {
  CAboutDlg about;
  EXPECT_EQ(about.windowTitle(), "About Tessaly");
  const auto* icon = about.findChild<QLabel*>("id128");
  EXPECT_TRUE(icon && !icon->pixmap().isNull());
}

}  // namespace
}  // namespace orvelle
