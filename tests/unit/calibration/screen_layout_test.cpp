#include "calibration/core/screen_layout.h"

#include <gtest/gtest.h>

namespace orvelle {
namespace {

const ControlSizes kTemplateSizes{{60, 60}, {400, 30}, {400, 30}, {100, 40}, {100, 40}};

TEST(LayoutControls, FullHdScreen) {
  const ScreenLayout l = LayoutControls(1920, 1080, kTemplateSizes);
  EXPECT_EQ(l.window, (PixelRect{0, 0, 1920, 1080}));
  const int xs[9] = {930, 30, 930, 1830, 1830, 1830, 930, 30, 30};
  const int ys[9] = {510, 4, 4, 4, 510, 1016, 1016, 1016, 510};
  for (int s = 0; s < 9; ++s) {
    EXPECT_EQ(l.targets[s], (PixelRect{xs[s], ys[s], 60, 60})) << "slot " << s;
  }
  EXPECT_EQ(l.instruction, (PixelRect{760, 387, 400, 30}));
  EXPECT_EQ(l.countdown, (PixelRect{760, 432, 400, 30}));
  EXPECT_EQ(l.ok, (PixelRect{810, 472, 100, 40}));
  EXPECT_EQ(l.cancel, (PixelRect{1010, 472, 100, 40}));
}

TEST(LayoutControls, OddSizesRoundHalfUpAndDivideTruncating) {
  // 1366 / 32 - 30.5 = 12.1875 -> 12; 1366 * 31/32 - 30.5 = 1292.8125 -> 1293.
  const ControlSizes sizes{{61, 61}, {401, 31}, {401, 31}, {101, 41}, {99, 41}};
  const ScreenLayout l = LayoutControls(1366, 768, sizes);
  EXPECT_EQ(l.targets[1].x, 12);
  EXPECT_EQ(l.targets[0].x, 653);  // 683 - 30.5 = 652.5 rounds up
  EXPECT_EQ(l.targets[3].x, 1293);
  EXPECT_EQ(l.targets[1].y, -6);  // 24 - 30.5 = -6.5 rounds up to -6
  EXPECT_EQ(l.targets[5].y, 714);
  EXPECT_EQ(l.countdown, (PixelRect{483, 307, 401, 31}));
  EXPECT_EQ(l.instruction.y, 307 - 46);
  EXPECT_EQ(l.ok.x, 683 - 151);
  EXPECT_EQ(l.cancel.x, 683 + 49);
}

}  // namespace
}  // namespace orvelle
