#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPainter>

#include "calibration/screen_colours.h"
#include "calibration/screen_setup.h"
#include "calibration/target_painter.h"
#include "calibration/xp_image_button.h"

namespace orvelle {
namespace {

// A dialog shaped like the calibration template: controls at arbitrary
// places with the template's sizes.
class CalibrationScreen : public QWidget {
 public:
  CalibrationScreen() {
    auto name = [](QWidget* w, int id) { w->setObjectName(QStringLiteral("id%1").arg(id)); };
    instruction = new QLabel(QStringLiteral("Touch the target"), this);
    name(instruction, kInstructionId);
    instruction->resize(400, 30);
    countdown = new QLabel(QStringLiteral("20"), this);
    name(countdown, kCountdownId);
    countdown->resize(400, 30);
    ok = new XPImageButton(this);
    name(ok, kOkId);
    ok->resize(100, 40);
    cancel = new XPImageButton(this);
    name(cancel, kCancelId);
    cancel->resize(100, 40);
    for (int s = 0; s < kTargetSlots; ++s) {
      auto* target = new QWidget(this);
      name(target, kFirstTargetId + s);
      target->setGeometry(5 * s, 7, 60, 60);
    }
  }

  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    PaintTargetAreas(painter, targetRects, 4, 0, true);
  }

  QLabel* instruction;
  QLabel* countdown;
  XPImageButton* ok;
  XPImageButton* cancel;
  std::array<QRect, kTargetSlots> targetRects{};
};

TEST(CalibrationScreenSetup, LaysOutAFullHdScreenAsTheUserSeesIt) {
  CalibrationScreen screen;
  ASSERT_TRUE(MoveControls(screen, LayoutControls(1920, 1080, TemplateSizes(screen))));
  screen.targetRects = CollectTargetRects(screen);
  ApplyControlColours(screen);
  SetupButton(*screen.ok, QIcon());
  SetupButton(*screen.cancel, QIcon());
  SetupFonts(screen, TextFont());

  EXPECT_EQ(screen.geometry(), QRect(0, 0, 1920, 1080));
  EXPECT_EQ(screen.targetRects[1], QRect(30, 4, 60, 60));
  EXPECT_EQ(screen.targetRects[5], QRect(1830, 1016, 60, 60));
  EXPECT_EQ(screen.targetRects[0], QRect(930, 510, 60, 60));

  const QImage shot = screen.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shot.size(), QSize(1920, 1080));
  EXPECT_EQ(shot.pixelColor(500, 800), kScreenBackground);
  EXPECT_EQ(shot.pixelColor(960, 540), kActiveTargetColour);
  // Button faces where the layout put them, background just outside.
  EXPECT_EQ(shot.pixelColor(810 + 50, 472 + 5), kButtonFace);
  EXPECT_EQ(shot.pixelColor(1010 + 50, 472 + 5), kButtonFace);
  EXPECT_EQ(shot.pixelColor(810 + 50, 472 - 1), kScreenBackground);
  EXPECT_EQ(shot.pixelColor(1010 + 100, 472 + 5), kScreenBackground);
  // Text of the instruction line lies inside its 400 x 30 box at (760, 387).
  auto darkPixelsIn = [&](const QRect& r) {
    int count = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
      for (int x = r.left(); x <= r.right(); ++x)
        count += shot.pixelColor(x, y).lightness() < 100;
    }
    return count;
  };
  EXPECT_GT(darkPixelsIn(QRect(760, 387, 400, 30)), 50);
  EXPECT_GT(darkPixelsIn(QRect(760, 432, 400, 30)), 5);
  EXPECT_EQ(darkPixelsIn(QRect(760, 417, 400, 15)), 0) << "the lines do not overlap";
}

TEST(CalibrationScreenSetup, MissingControlsAreReportedButTheRestIsPlaced) {
  QWidget dialog;
  auto* countdown = new QLabel(&dialog);
  countdown->setObjectName(QStringLiteral("id1001"));
  countdown->resize(400, 30);
  EXPECT_FALSE(MoveControls(dialog, LayoutControls(1920, 1080, TemplateSizes(dialog))));
  EXPECT_EQ(countdown->geometry(), QRect(760, 432, 400, 30));
  EXPECT_TRUE(CollectTargetRects(dialog)[0].isNull());
}

TEST(CalibrationScreenSetup, TextFontHasATwentyFourPixelCell) {
  const QFont font = TextFont();
  EXPECT_LE(QFontMetrics(font).height(), 24);
  EXPECT_GE(QFontMetrics(font).height(), 20);
  EXPECT_EQ(font.weight(), QFont::Normal);
  EXPECT_FALSE(font.italic());
}

}  // namespace
}  // namespace orvelle
