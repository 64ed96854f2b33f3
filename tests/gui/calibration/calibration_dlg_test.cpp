#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <cerrno>

#include "calibration/screen_colours.h"
#include "calibration/screen_setup.h"
#include "calibration/xp_image_button.h"
#include "devlink/catalogue.h"
#include "devlink/usb_transfer.h"
#include "shell/about_dlg.h"
#include "tests/gui/calibration/dialog_fixture.h"
#include "tests/support/hidraw_like_bus.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;

const std::vector<RawPoint> kSkewedCorners{{100, 90}, {4000, 120}, {3950, 4010}, {140, 3900}};

std::vector<uint8_t> LittleEndian(std::initializer_list<int> values) {
  std::vector<uint8_t> bytes;
  for (int v : values) {
    bytes.push_back(static_cast<uint8_t>(v & 0xFF));
    bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return bytes;
}

TEST_F(CalibrationDialogTest, NineTargetRunIsWrittenAndKeptOnOk) {
  PlugController(4);
  auto dialog = StartDialog();
  ASSERT_FALSE(dialog->ended());
  EXPECT_EQ(dialog->link().IsConnected(), 2) << "CAL_BEGIN confirmed";
  EXPECT_EQ(dialog->run().targetCount(), 9);
  EXPECT_EQ(dialog->run().targetIndex(), 0);
  EXPECT_TRUE(dialog->cursorHidden());
  EXPECT_TRUE(dialog->okButton()->isHidden());
  EXPECT_EQ(dialog->instructionText(), LoadResourceString(1055));

  TouchTargets();
  ASSERT_TRUE(PumpUntil([&] { return Received(CAL_SET_POINTS); }));
  EXPECT_TRUE(dialog->run().finished());
  EXPECT_FALSE(dialog->cursorHidden());
  std::vector<uint8_t> payload;
  Received(CAL_SET_POINTS, &payload);
  std::vector<uint8_t> expected;
  const int xs[9] = {2048, 0, 2048, 4096, 4096, 4096, 2048, 0, -1};
  const int ys[9] = {2048, 0, -1, 0, 2048, 4096, 4096, 4096, 2048};
  for (int j = 0; j < 9; ++j) {
    const auto pair = LittleEndian({xs[j], ys[j]});
    expected.insert(expected.end(), pair.begin(), pair.end());
  }
  EXPECT_EQ(payload, expected);

  dialog->OnTimer(CCalibrationDlg::kTimerId);
  EXPECT_EQ(dialog->instructionText(), LoadResourceString(1056));
  EXPECT_EQ(dialog->countdownText(), "Time left: 30 s");
  EXPECT_FALSE(dialog->okButton()->isHidden());
  EXPECT_FALSE(dialog->cancelButton()->isHidden());

  dialog->OnOK();
  EXPECT_TRUE(dialog->ended());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  ASSERT_TRUE(Received(CAL_END, &payload));
  EXPECT_EQ(payload, std::vector<uint8_t>{1});
  const ControllerState state = sim_->State();
  EXPECT_EQ(state.record.flags[0], 1);
  EXPECT_EQ(state.record.x[8], -1);
  EXPECT_EQ(state.record.y[5], 4096);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(CalibrationDialogTest, FourCornersOnARotatedWindows7DisplayAndCancel) {
  const FixedOsVersion windows7({kVerPlatformNt, 6, 1});
  environment_.osVersion = &windows7;
  environment_.displayOrientation = 1;
  PlugController(2);
  auto dialog = StartDialog();
  EXPECT_EQ(dialog->osClass(), 6);
  EXPECT_EQ(dialog->orientation(), 1);

  TouchTargets(kSkewedCorners);
  ASSERT_TRUE(PumpUntil([&] { return Received(CAL_SET_POINTS); }));
  std::vector<uint8_t> payload;
  Received(CAL_SET_POINTS, &payload);
  EXPECT_EQ(payload, LittleEndian({-30, 4044, 39, -4033, -51, 4068}));

  dialog->OnCancel();
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  ASSERT_TRUE(Received(CAL_END, &payload));
  EXPECT_EQ(payload, std::vector<uint8_t>{0});
  EXPECT_FALSE(sim_->State().affineActive) << "discarded";
}

TEST(CalibrationScreenChoice, ByNameOrNumberElseThePrimary) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  ASSERT_EQ(screens.size(), 2) << "the tests' two-screen layout";
  EXPECT_EQ(ChosenScreen("Frame"), screens[1]);
  EXPECT_EQ(ChosenScreen("1"), screens[1]);
  EXPECT_EQ(ChosenScreen("Desk"), screens[0]);
  EXPECT_EQ(ChosenScreen("2"), nullptr);
  EXPECT_EQ(ChosenScreen(std::nullopt), nullptr);
}

TEST_F(CalibrationDialogTest, TargetsFollowTheChosenScreensGeometry) {
  QScreen* frame = QGuiApplication::screens().value(1);
  ASSERT_TRUE(frame);
  environment_.display = frame;
  environment_.screen.reset();
  environment_.displayOrientation.reset();
  PlugController(4);
  auto dialog = StartDialog();
  EXPECT_EQ(dialog->screen(), frame);
  EXPECT_EQ(dialog->geometry(), QRect(1920, 0, 1080, 1920));
  // Portrait: the corners at 1/32 and 31/32 of 1080 x 1920, in window coordinates.
  const std::array<QRect, kTargetSlots>& targets = dialog->targetRects();
  EXPECT_TRUE(targets[1].contains(34, 60)) << "top left";
  EXPECT_TRUE(targets[5].contains(1046, 1860)) << "bottom right";
  EXPECT_TRUE(targets[0].contains(540, 960)) << "centre";
  EXPECT_EQ(dialog->orientation(), 0) << "the frame screen's, not rotated";
}

TEST_F(CalibrationDialogTest, CornerTouchedTwiceIsRefusedUntilTheLastTargetIsTouched) {
  PlugController(2);
  auto dialog = StartDialog();
  TouchTargets({kSkewedCorners[0], kSkewedCorners[1], kSkewedCorners[2], kSkewedCorners[0]});
  ASSERT_TRUE(PumpUntil([&] {
    return sim_->WaitTouchesDone(0ms) && dialog->run().targetIndex() == 3 &&
           dialog->instructionText() == LoadResourceString(1067);
  }));
  EXPECT_FALSE(dialog->run().finished());
  EXPECT_FALSE(Received(CAL_SET_POINTS)) << "no coefficients from collinear corners";
  EXPECT_TRUE(Boxes().empty()) << "told on the screen, not in a box";

  sim_->Touch(TouchStream{kSkewedCorners[3], 110, 0, 0});
  ASSERT_TRUE(PumpUntil([&] { return Received(CAL_SET_POINTS); }));
  std::vector<uint8_t> payload;
  Received(CAL_SET_POINTS, &payload);
  EXPECT_EQ(payload, LittleEndian({4034, 52, 27, -30, 4044, 39}));
}

TEST_F(CalibrationDialogTest, WithoutAControllerTheProgramEndsAfterTwoMessages) {
  auto dialog = std::make_unique<CCalibrationDlg>(environment_);
  EXPECT_FALSE(dialog->OnInitDialog());
  EXPECT_TRUE(dialog->ended());
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(Boxes(), (std::vector<QString>{Box(1059, 1060), Box(1065)}));
  EXPECT_FALSE(dialog->timer().isActive());
  EXPECT_FALSE(dialog->cursorHidden());
  // The double-click settings came first, from the desktop's values.
  EXPECT_EQ(StoredMouseValue("DoubleClickWidth"), "24");
  EXPECT_EQ(StoredMouseValue("DoubleClickSpeed"), "600");
  EXPECT_EQ(dialog->exec(), QDialog::Rejected) << "exec does not start a second time";
}

TEST_F(CalibrationDialogTest, UnplugDuringCaptureEndsWithoutCalEnd) {
  PlugController(4);
  auto dialog = StartDialog();
  sim_->Unplug();
  ASSERT_TRUE(PumpUntil([&] { return dialog->ended(); }));
  EXPECT_EQ(Boxes(), (std::vector<QString>{Box(1061), Box(1065)}));
  EXPECT_FALSE(dialog->cursorHidden());
  EXPECT_FALSE(Received(CAL_END));
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

// On a hidraw-like node: a controller this user may not open, and one
// unplugged while the program starts.
TEST_F(CalibrationDialogTest, StartWithAnUnopenableOrVanishingController) {
  struct Case {
    const char* what;
    int refuse;
    std::vector<QString> boxes;
  };
  for (const Case& c : {Case{"no udev rule", EACCES, {Box(1068, 1060), Box(1065)}},
                        Case{"unplugged at CAL_BEGIN", 0, {Box(1061), Box(1065)}}}) {
    SCOPED_TRACE(c.what);
    boxes_.Clear();
    auto bus = std::make_shared<testing::HidrawLikeBus>();
    bus->RefuseOpens(c.refuse);
    bus->SetResponder([](testing::HidrawLikeBus& b, size_t index, const auto& r) {
      if (r[1] == CAL_BEGIN) return b.Unplug();
      FrameBuffer answer;
      BuildFrame(answer, kCalibrationReportId, r[1], {4});
      b.PushInput(index, {answer.begin(), answer.begin() + kCalibrationFrameLength});
    });
    environment_.bus = bus;
    auto dialog = std::make_unique<CCalibrationDlg>(environment_);
    dialog->OnInitDialog();
    ASSERT_TRUE(PumpUntil([&] { return dialog->ended(); }, 5s));
    EXPECT_EQ(Boxes(), c.boxes);
    EXPECT_FALSE(dialog->cursorHidden());
  }
}

TEST_F(CalibrationDialogTest, TwentySecondsWithoutAPointDiscardTheRun) {
  PlugController(4);
  auto dialog = StartDialog();
  for (int tick = 1; tick < 40; ++tick)
    dialog->OnTimer(CCalibrationDlg::kTimerId);
  EXPECT_EQ(dialog->countdownText(), "Time left: 1 s");
  EXPECT_FALSE(dialog->ended());
  dialog->OnTimer(7);
  EXPECT_FALSE(dialog->ended()) << "other timers are not the run's";
  dialog->OnTimer(CCalibrationDlg::kTimerId);
  EXPECT_TRUE(dialog->ended());
  std::vector<uint8_t> payload;
  ASSERT_TRUE(Received(CAL_END, &payload));
  EXPECT_EQ(payload, std::vector<uint8_t>{0});
  EXPECT_FALSE(sim_->Calibrating());
}

TEST_F(CalibrationDialogTest, RefusedPointsAreReportedAndTheRunGoesOn) {
  PlugController(3);
  sim_->SetFault({kCalibrationReportId, CAL_SET_POINTS}, FaultRule{FaultKind::Refuse});
  auto dialog = StartDialog();
  TouchTargets();
  ASSERT_TRUE(PumpUntil([&] { return !Boxes().empty(); }));
  EXPECT_EQ(Boxes(), std::vector<QString>{Box(1066)});
  std::vector<uint8_t> payload;
  Received(CAL_SET_POINTS, &payload);
  EXPECT_EQ(payload.size(), 36u) << "mode 3 sends nine points";
  dialog->OnTimer(CCalibrationDlg::kTimerId);
  EXPECT_FALSE(dialog->okButton()->isHidden());
}

TEST_F(CalibrationDialogTest, ScreenShowsTheActiveTargetAndThenTheButtons) {
  PlugController(4);
  auto dialog = StartDialog();
  dialog->OnTimer(CCalibrationDlg::kTimerId);  // blink on
  QImage shot = dialog->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shot.size(), QSize(1920, 1080));
  EXPECT_EQ(dialog->targetRects()[0], QRect(930, 510, 60, 60));
  EXPECT_EQ(shot.pixelColor(960, 540), kActiveTargetColour);
  EXPECT_EQ(shot.pixelColor(930 + 7, 510 + 7), kActiveTargetColour) << "corner marks shown";
  EXPECT_EQ(shot.pixelColor(60, 34), kScreenBackground) << "next target not drawn yet";
  const QRect ok = dialog->okButton()->geometry();
  EXPECT_EQ(shot.pixelColor(ok.center()), kScreenBackground) << "buttons hidden";

  TouchTargets();
  ASSERT_TRUE(PumpUntil([&] { return dialog->run().finished(); }));
  dialog->OnTimer(CCalibrationDlg::kTimerId);
  shot = dialog->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(shot.pixelColor(960, 540), kFinishedTargetColour);
  EXPECT_EQ(shot.pixelColor(60, 34), kFinishedTargetColour);
  EXPECT_EQ(ok.topLeft(), QPoint(960 - 210, 432 + 40));
  EXPECT_EQ(shot.pixelColor(ok.left() + 70, ok.top() + 2), kButtonFace);
}

TEST_F(CalibrationDialogTest, AboutBoxComesFromItsTemplate) {
  CAboutDlg about;
  EXPECT_EQ(about.windowTitle(), "About Tessaly");
  const auto* icon = about.findChild<QLabel*>("id128");
  ASSERT_NE(icon, nullptr);
  EXPECT_FALSE(icon->pixmap().isNull());
}

}  // namespace
}  // namespace orvelle
