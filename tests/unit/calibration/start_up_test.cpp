#include "calibration/core/start_up.h"

#include <gtest/gtest.h>

namespace orvelle {
namespace {

TEST(OsClassFor, MapsWindowsVersions) {
  // Platform, major, minor: class.
  const int cases[][4] = {
      {kPlatformWin9x, 4, 10, 0},       {kPlatformNt, 4, 0, 1},           {kPlatformNt, 5, 0, 2},
      {kPlatformNt, 5, 1, 3},           {kPlatformNt, 5, 2, 4},           {kPlatformNt, 5, 3, 1},
      {kPlatformNt, 6, 0, 5},           {kPlatformNt, 6, 1, 6},           {kPlatformNt, 10, 0, 6},
      {0, 0, 0, kOsClassOtherPlatform}, {3, 10, 0, kOsClassOtherPlatform}};
  for (const auto& c : cases)
    EXPECT_EQ(OsClassFor(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1] << "." << c[2];
}

TEST(OrientationFromDisplayValue, KeepsOneToThree) {
  EXPECT_EQ(OrientationFromDisplayValue(2), 2);
  EXPECT_EQ(OrientationFromDisplayValue(3), 3);
  EXPECT_EQ(OrientationFromDisplayValue(0), 0);
  EXPECT_EQ(OrientationFromDisplayValue(4), 0);
  EXPECT_EQ(OrientationFromDisplayValue(-1), 0);
}

TEST(DoubleClickSettings, OnlySmallAreasOnBothAxesAreEnlarged) {
  EXPECT_TRUE(ShouldEnlargeDoubleClick(4, 4));
  EXPECT_TRUE(ShouldEnlargeDoubleClick(8, 8));
  EXPECT_FALSE(ShouldEnlargeDoubleClick(10, 4));
  EXPECT_FALSE(ShouldEnlargeDoubleClick(4, 9));
}

TEST(DoubleClickSettings, ReadsLeadingDigitsLikeTheCLibrary) {
  EXPECT_EQ(LeadingDecimal("24"), 24);
  EXPECT_EQ(LeadingDecimal(" 8px"), 8);
  EXPECT_EQ(LeadingDecimal("-3"), -3);
  EXPECT_EQ(LeadingDecimal(""), 0);
  EXPECT_EQ(LeadingDecimal("abc"), 0);
  EXPECT_EQ(LeadingDecimal("99999999999999999999"), 2147483647);
}

}  // namespace
}  // namespace orvelle
