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

TEST(StartUpValues, OrientationDoubleClickAreaAndLeadingDigits) {
  const std::pair<int, int> orientations[] = {{2, 2}, {3, 3}, {0, 0}, {4, 0}, {-1, 0}};
  for (const auto& [value, kept] : orientations)
    EXPECT_EQ(OrientationFromDisplayValue(value), kept) << value;
  // Only small areas on both axes are enlarged.
  const std::tuple<int, int, bool> areas[] = {
      {4, 4, true}, {8, 8, true}, {10, 4, false}, {4, 9, false}};
  for (const auto& [width, height, enlarge] : areas)
    EXPECT_EQ(ShouldEnlargeDoubleClick(width, height), enlarge) << width << " " << height;
  // Read as the C library reads them.
  const std::pair<const char*, int> texts[] = {{"24", 24}, {" 8px", 8},
                                               {"-3", -3}, {"", 0},
                                               {"abc", 0}, {"99999999999999999999", 2147483647}};
  for (const auto& [text, value] : texts)
    EXPECT_EQ(LeadingDecimal(text), value) << text;
}

}  // namespace
}  // namespace orvelle
