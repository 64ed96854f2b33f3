#include "calibration/core/screen_layout.h"

#include "calibration/core/rounding.h"

namespace orvelle {

ScreenLayout LayoutControls(int W, int H, const ControlSizes& sizes) {
  ScreenLayout layout;
  layout.window = {0, 0, W, H};

  const int w = sizes.target.width, h = sizes.target.height;
  const int lx = RoundHalfUp(W * kTargetInset - w * 0.5);
  const int cx = RoundHalfUp(W * 0.5 - w * 0.5);
  const int rx = RoundHalfUp(W * (1 - kTargetInset) - w * 0.5);
  const int ty = RoundHalfUp(H * kTargetInset - h * 0.5);
  const int cy = RoundHalfUp(H * 0.5 - h * 0.5);
  const int by = RoundHalfUp(H * (1 - kTargetInset) - h * 0.5);
  const int column[9] = {cx, lx, cx, rx, rx, rx, cx, lx, lx};
  const int row[9] = {cy, ty, ty, ty, cy, by, by, by, cy};
  for (int s = 0; s < 9; ++s)
    layout.targets[s] = {column[s], row[s], w, h};

  // The count-down line starts at two fifths of the height, the instruction
  // line ends half a line above it, the buttons stand one button height below.
  const int y0 = (2 * H) / 5;
  const PixelSize ti = sizes.instruction, tc = sizes.countdown;
  const PixelSize ok = sizes.ok, cancel = sizes.cancel;
  layout.instruction = {W / 2 - ti.width / 2, y0 - (3 * ti.height) / 2, ti.width, ti.height};
  layout.countdown = {W / 2 - tc.width / 2, y0, tc.width, tc.height};
  layout.ok = {W / 2 - (3 * ok.width) / 2, y0 + ok.height, ok.width, ok.height};
  layout.cancel = {W / 2 + cancel.width / 2, y0 + cancel.height, cancel.width, cancel.height};
  return layout;
}

}  // namespace orvelle
