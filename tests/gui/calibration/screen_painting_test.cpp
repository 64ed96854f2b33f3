#include "calibration/target_painter.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <set>
#include <utility>

#include "calibration/screen_colours.h"
#include "calibration/screen_setup.h"

namespace orvelle {
namespace {

const QColor kUntouched{255, 255, 255};

QImage Blank(QSize size, const QColor& colour) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

TEST(PaintTargetAreas, EachAreaShowsItsTargetsState) {
  std::array<QRect, kTargetSlots> rects;
  for (int s = 0; s < kTargetSlots; ++s)
    rects[s] = QRect(10 + 80 * s, 10, 60, 60);
  // Per slot: '.' background only; 'M' or 'G' a magenta or grey cross-hair
  // with corner marks; 'm' the active target's cross-hair with its marks
  // blinked off.
  struct Case {
    int mode, target;
    bool blinkOn;
    const char* looks;
  };
  const Case cases[] = {
      {4, 0, true, "M........"},  {4, 2, false, "GGm......"}, {4, 4, false, "GGGGm...."},
      {3, 2, true, "GG.M....."},  {3, 5, false, "GG.G.G.G."}, {2, 1, false, ".M.m....."},
      {2, 4, false, ".M.M.M.M."}, {4, -1, true, "........."},
  };
  for (const Case& c : cases) {
    QImage screen = Blank({740, 80}, kUntouched);
    {
      QPainter painter(&screen);
      PaintTargetAreas(painter, rects, c.mode, c.target, c.blinkOn);
    }
    for (int s = 0; s < kTargetSlots; ++s) {
      SCOPED_TRACE(testing::Message()
                   << "mode " << c.mode << " target " << c.target << " slot " << s);
      const char look = c.looks[s];
      const QColor pen = look == 'G'   ? kFinishedTargetColour
                         : look == '.' ? kScreenBackground
                                       : kActiveTargetColour;
      const QColor marks = look == 'm' ? kScreenBackground : pen;
      const int x = rects[s].left(), y = rects[s].top();
      // The cross-hair spans the area; nothing is drawn outside it.
      for (const QPoint at : {QPoint(x + 30, y + 30), QPoint(x, y + 30), QPoint(x + 59, y + 30),
                              QPoint(x + 30, y), QPoint(x + 30, y + 59)}) {
        EXPECT_EQ(screen.pixelColor(at), pen) << at.x() << "," << at.y();
      }
      EXPECT_EQ(screen.pixelColor(x + 7, y + 7), marks);
      EXPECT_EQ(screen.pixelColor(x, y), kScreenBackground);
      EXPECT_EQ(screen.pixelColor(x - 1, y - 1), kUntouched);
      EXPECT_EQ(screen.pixelColor(x + 60, y + 60), kUntouched);
    }
  }
}

TEST(DrawCornerMarks, SevenPixelAreaLeavesEveryEndPointOut) {
  QImage area = Blank({7, 7}, kScreenBackground);
  {
    QPainter painter(&area);
    DrawCornerMarks(painter, area.size(), kActiveTargetColour);
  }
  std::set<std::pair<int, int>> drawn;
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 7; ++x) {
      if (area.pixelColor(x, y) == kActiveTargetColour) drawn.insert({x, y});
    }
  }
  const std::set<std::pair<int, int>> expected{{0, 1}, {0, 0}, {5, 0}, {6, 0},
                                               {6, 5}, {6, 6}, {1, 6}, {0, 6}};
  EXPECT_EQ(drawn, expected);
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
  const QFontMetrics metrics(TextFont());
  EXPECT_LE(metrics.height(), 24);
  EXPECT_GE(metrics.height(), 20);
}

}  // namespace
}  // namespace orvelle
