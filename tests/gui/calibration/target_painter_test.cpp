#include "calibration/target_painter.h"

#include <gtest/gtest.h>

#include <QImage>
#include <set>
#include <utility>

#include "calibration/core/screen_layout.h"
#include "calibration/screen_colours.h"

namespace orvelle {
namespace {

const QColor kUntouched{255, 255, 255};

QImage Blank(QSize size, const QColor& colour = kScreenBackground) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

std::array<QRect, 9> FullHdTargets() {
  const ScreenLayout l =
      LayoutControls(1920, 1080, {{60, 60}, {400, 30}, {400, 30}, {100, 40}, {100, 40}});
  std::array<QRect, 9> rects;
  for (int s = 0; s < 9; ++s) {
    rects[s] = QRect(l.targets[s].x, l.targets[s].y, l.targets[s].width, l.targets[s].height);
  }
  return rects;
}

QImage RenderScreen(int calMode, int targetIndex, bool blinkOn) {
  QImage screen = Blank({1920, 1080}, kUntouched);
  QPainter painter(&screen);
  PaintTargetAreas(painter, FullHdTargets(), calMode, targetIndex, blinkOn);
  return screen;
}

// What a target area shows: its cross-hair centre colour, and whether the
// top-left corner mark (at 1/8 of the area) is there.
QColor CrossHairColour(const QImage& screen, const QRect& r) {
  return screen.pixelColor(r.left() + r.width() / 2, r.top() + r.height() / 2);
}
bool HasCornerMark(const QImage& screen, const QRect& r, const QColor& colour) {
  return screen.pixelColor(r.left() + r.width() / 8, r.top() + r.height() / 8) == colour;
}

TEST(PaintTargetAreas, NineAreasOnAFullHdScreen) {
  const QImage screen = RenderScreen(4, 0, true);
  const auto rects = FullHdTargets();
  EXPECT_EQ(rects[1], QRect(30, 4, 60, 60));
  EXPECT_EQ(rects[5], QRect(1830, 1016, 60, 60));
  for (const QRect& r : rects) {
    EXPECT_EQ(screen.pixelColor(r.topLeft()), kScreenBackground);
    EXPECT_EQ(screen.pixelColor(r.bottomRight()), kScreenBackground);
    EXPECT_EQ(screen.pixelColor(r.topLeft() - QPoint(1, 1)), kUntouched) << "nothing outside";
    EXPECT_EQ(screen.pixelColor(r.bottomRight() + QPoint(1, 1)), kUntouched);
  }
  // The centre target's cross-hair spans the whole area and its centre is the
  // screen's centre.
  EXPECT_EQ(screen.pixelColor(960, 540), kActiveTargetColour);
  EXPECT_EQ(screen.pixelColor(930, 540), kActiveTargetColour);
  EXPECT_EQ(screen.pixelColor(989, 540), kActiveTargetColour);
  EXPECT_EQ(screen.pixelColor(960, 510), kActiveTargetColour);
  EXPECT_EQ(screen.pixelColor(960, 569), kActiveTargetColour);
  EXPECT_EQ(screen.pixelColor(990, 540), kUntouched);
}

TEST(PaintTargetAreas, ColourPerModeAndTarget) {
  const auto rects = FullHdTargets();
  const QColor bg = kScreenBackground, magenta = kActiveTargetColour, grey = kFinishedTargetColour;
  struct Case {
    int mode, t;
    std::array<QColor, 9> expected;
  };
  const Case cases[] = {
      {3, 2, {grey, grey, bg, magenta, bg, bg, bg, bg, bg}},
      {3, 5, {grey, grey, bg, grey, bg, grey, bg, grey, bg}},
      {4, 4, {grey, grey, grey, grey, magenta, bg, bg, bg, bg}},
      {2, 1, {bg, magenta, bg, magenta, bg, bg, bg, bg, bg}},
      {2, 4, {bg, magenta, bg, magenta, bg, magenta, bg, magenta, bg}},
      {4, -1, {bg, bg, bg, bg, bg, bg, bg, bg, bg}},
  };
  for (const Case& c : cases) {
    const QImage screen = RenderScreen(c.mode, c.t, false);
    for (int s = 0; s < 9; ++s) {
      EXPECT_EQ(CrossHairColour(screen, rects[s]), c.expected[s])
          << "mode " << c.mode << " target " << c.t << " slot " << s;
    }
  }
}

TEST(PaintTargetAreas, OnlyTheActiveTargetsCornerMarksBlink) {
  const auto rects = FullHdTargets();
  const QImage on = RenderScreen(4, 2, true);
  const QImage off = RenderScreen(4, 2, false);
  EXPECT_TRUE(HasCornerMark(on, rects[2], kActiveTargetColour));
  EXPECT_FALSE(HasCornerMark(off, rects[2], kActiveTargetColour));
  EXPECT_EQ(CrossHairColour(off, rects[2]), kActiveTargetColour) << "cross-hair stays";
  EXPECT_TRUE(HasCornerMark(off, rects[1], kFinishedTargetColour)) << "finished marks steady";

  // Mode 2 complete: every corner target keeps its marks through both phases.
  const QImage doneOff = RenderScreen(2, 4, false);
  for (int s : {1, 3, 5, 7})
    EXPECT_TRUE(HasCornerMark(doneOff, rects[s], kActiveTargetColour));
}

std::set<std::pair<int, int>> SetPixels(const QImage& image, const QColor& colour) {
  std::set<std::pair<int, int>> pixels;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y) == colour) pixels.insert({x, y});
    }
  }
  return pixels;
}

TEST(DrawCornerMarks, SevenPixelAreaLeavesEveryEndPointOut) {
  QImage area = Blank({7, 7});
  {
    QPainter painter(&area);
    DrawCornerMarks(painter, area.size(), kActiveTargetColour);
  }
  const std::set<std::pair<int, int>> expected{{0, 1}, {0, 0}, {5, 0}, {6, 0},
                                               {6, 5}, {6, 6}, {1, 6}, {0, 6}};
  EXPECT_EQ(SetPixels(area, kActiveTargetColour), expected);
}

}  // namespace
}  // namespace orvelle
