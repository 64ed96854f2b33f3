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

TEST(StartUpValues, OrientationAndLeadingDigits) {
  const std::pair<int, int> orientations[] = {{2, 2}, {3, 3}, {0, 0}, {4, 0}, {-1, 0}};
  for (const auto& [value, kept] : orientations)
    EXPECT_EQ(OrientationFromDisplayValue(value), kept) << value;
  // Read as the C library reads them.
  const std::pair<const char*, int> texts[] = {{"24", 24}, {" 8px", 8},
                                               {"-3", -3}, {"", 0},
                                               {"abc", 0}, {"99999999999999999999", 2147483647}};
  for (const auto& [text, value] : texts)
    EXPECT_EQ(LeadingDecimal(text), value) << text;
}

// What X11 and Wayland report for an output turned by each quarter, with the
// rotation the calibration must use. Neither platform knows the native
// orientation; Wayland numbers from the panel's shape, X11 from its normal
// rotation. Physical sizes 0 or Qt's 100-dpi stand-in say nothing of the panel.
TEST(DisplayOrientationFrom, EachPlatformAndPanelTurnedByEachQuarter) {
  constexpr bool kWayland = true, kX11 = false;
  struct Case {
    bool wayland;
    int orientation, width, height;
    double physicalWidth, physicalHeight;
    int expected;
  };
  const Case cases[] = {
      // A landscape panel (weston headless: millimetres equal to pixels).
      {kWayland, 0, 1280, 800, 1280, 800, 0},
      {kWayland, 1, 800, 1280, 1280, 800, 1},
      {kWayland, 2, 1280, 800, 1280, 800, 2},
      {kWayland, 3, 800, 1280, 1280, 800, 3},
      // A portrait panel: Wayland calls it portrait when not turned.
      {kWayland, 1, 1080, 1920, 300, 530, 0},
      {kWayland, 2, 1920, 1080, 300, 530, 1},
      {kWayland, 3, 1080, 1920, 300, 530, 2},
      {kWayland, 0, 1920, 1080, 300, 530, 3},
      // No physical size: a landscape panel is assumed.
      {kWayland, 1, 800, 1280, 0, 0, 1},
      {kWayland, 1, 800, 1280, 203.2, 325.12, 1},
      // X11 counts from the normal rotation, whatever the millimetres say.
      {kX11, 0, 1280, 800, 0, 0, 0},
      {kX11, 1, 800, 1280, 180, 290, 1},
      {kX11, 2, 1280, 800, 1280, 800, 2},
      {kX11, 3, 800, 1280, 1280, 800, 3},
      {kX11, 0, 1080, 1920, 300, 530, 0},
  };
  for (const Case& c : cases) {
    ScreenReport report{c.orientation, std::nullopt,    c.wayland,       c.width,
                        c.height,      c.physicalWidth, c.physicalHeight};
    EXPECT_EQ(DisplayOrientationFrom(report), c.expected)
        << (c.wayland ? "Wayland " : "X11 ") << c.orientation << " " << c.width << "x" << c.height
        << " " << c.physicalWidth << "x" << c.physicalHeight;
  }
  // A known native orientation is counted from; an unknown orientation is none.
  EXPECT_EQ(DisplayOrientationFrom({0, 1, kWayland, 1280, 800, 0, 0}), 3);
  EXPECT_EQ(DisplayOrientationFrom({std::nullopt, std::nullopt, kX11, 1280, 800, 0, 0}), 0);
}

}  // namespace
}  // namespace orvelle
