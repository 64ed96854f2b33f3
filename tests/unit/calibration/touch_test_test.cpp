#include "calibration/core/touch_test.h"

#include <gtest/gtest.h>

namespace orvelle {
namespace {

TEST(TouchTestCrosses, StandWhereTheCalibrationTargetsDo) {
  const auto c = TouchTestCrosses(1920, 1080);
  EXPECT_EQ((std::array{c[0], c[1], c[3]}),
            (std::array<TouchPoint, 3>{{{960, 540}, {60, 33.75}, {1860, 1046.25}}}));
}

// A 1600 x 1200 screen: diagonal 2000 px, tolerance 30 px, reach 160 px;
// 400 x 300 mm, a quarter millimetre per pixel.
TEST(TouchTest, DistancesAndVerdicts) {
  struct Case {
    const char* what;
    std::vector<TouchPoint> touches;
    std::vector<int> crosses;  // what each touch counted for
    TouchVerdict verdict;
  };
  const Case cases[] = {
      {"all five within 30 px",
       {{800 + 20, 600}, {50, 37.5 + 29}, {1550, 37.5}, {1550, 1162.5}, {50 - 18, 1162.5 + 24}},
       {0, 1, 2, 3, 4},
       TouchVerdict::Pass},
      {"one cross 31 px off fails at once", {{800, 600 + 31}}, {0}, TouchVerdict::Fail},
      {"a second try replaces the first",
       {{800, 600 + 31}, {800, 600 + 3}},
       {0, 0},
       TouchVerdict::Incomplete},
      {"far from every cross counts for none",
       {{400, 300}, {800 + 161, 600}},
       {-1, -1},
       TouchVerdict::Incomplete},
  };
  for (const Case& c : cases) {
    TouchTest test(1600, 1200, TouchPoint{400, 300});
    std::vector<int> counted;
    for (const TouchPoint& t : c.touches)
      counted.push_back(test.Touch(t));
    EXPECT_EQ(counted, c.crosses) << c.what;
    EXPECT_EQ(test.Verdict(), c.verdict) << c.what;
  }
}

// Millimetres only where the screen gives its size, its sides matched to the
// pixels'; the last few dots kept.
TEST(TouchTest, ResultsAndRecentDots) {
  TouchTest sized(1600, 1200, TouchPoint{400, 300}), unsized(1600, 1200, TouchPoint{0, 0});
  sized.Touch({800 + 30, 600 + 40});
  unsized.Touch({800 + 30, 600 + 40});
  EXPECT_DOUBLE_EQ(sized.Results()[0].pixels, 50);
  EXPECT_DOUBLE_EQ(*sized.Results()[0].millimetres, 12.5);
  EXPECT_FALSE(unsized.Results()[0].millimetres);
  EXPECT_FALSE(unsized.Results()[1].touched);
  // The same panel turned a quarter, its size given unturned as Wayland does.
  TouchTest turned(1200, 1600, TouchPoint{400, 300});
  turned.Touch({600 + 30, 800});
  EXPECT_DOUBLE_EQ(*turned.Results()[0].millimetres, 7.5);

  TouchTest test(100, 100, std::nullopt);
  for (int i = 0; i < 7; ++i)
    test.Touch({double(i), 0});
  ASSERT_EQ(test.RecentTouches().size(), kTouchTestDotsKept);
  EXPECT_EQ(test.RecentTouches().front(), (TouchPoint{2, 0}));
}

}  // namespace
}  // namespace orvelle
