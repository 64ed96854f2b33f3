#pragma once
// Pixel positions of the calibration screen's controls for any screen size:
// targets centred at 1/32, 1/2 and 31/32 of each axis, the two text lines and
// the OK and Cancel buttons in the upper middle.

#include <array>

namespace orvelle {

// Target centres stand this share of the width and height in from the edges.
inline constexpr double kTargetInset = 1.0 / 32;

struct PixelSize {
  int width = 0;
  int height = 0;
  bool operator==(const PixelSize&) const = default;
};

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PixelRect&) const = default;
};

// Sizes as the dialog template gives them; every target takes the first one's.
struct ControlSizes {
  PixelSize target;
  PixelSize instruction;
  PixelSize countdown;
  PixelSize ok;
  PixelSize cancel;
};

struct ScreenLayout {
  PixelRect window;
  std::array<PixelRect, 9> targets;  // by slot
  PixelRect instruction;
  PixelRect countdown;
  PixelRect ok;
  PixelRect cancel;
};

ScreenLayout LayoutControls(int screenWidth, int screenHeight, const ControlSizes& sizes);

}  // namespace orvelle
