#include "calibration/core/start_up.h"

#include <gtest/gtest.h>

namespace orvelle {
namespace {

TEST(OsClassFor, MapsWindowsVersions) {
  EXPECT_EQ(OsClassFor(kPlatformWin9x, 4, 10), 0);
  EXPECT_EQ(OsClassFor(kPlatformNt, 4, 0), 1);
  EXPECT_EQ(OsClassFor(kPlatformNt, 5, 0), 2);
  EXPECT_EQ(OsClassFor(kPlatformNt, 5, 1), 3);
  EXPECT_EQ(OsClassFor(kPlatformNt, 5, 2), 4);
  EXPECT_EQ(OsClassFor(kPlatformNt, 5, 3), 1);
  EXPECT_EQ(OsClassFor(kPlatformNt, 6, 0), 5);
  EXPECT_EQ(OsClassFor(kPlatformNt, 6, 1), 6);
  EXPECT_EQ(OsClassFor(kPlatformNt, 6, 3), 6);
  EXPECT_EQ(OsClassFor(kPlatformNt, 10, 0), 6);
  EXPECT_EQ(OsClassFor(0, 0, 0), kOsClassOtherPlatform);
  EXPECT_EQ(OsClassFor(3, 10, 0), kOsClassOtherPlatform);
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
