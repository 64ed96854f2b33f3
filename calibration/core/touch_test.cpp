#include "calibration/core/touch_test.h"

#include <cmath>
#include <utility>

#include "calibration/core/screen_layout.h"

namespace orvelle {

std::array<TouchPoint, kTouchTestCrosses> TouchTestCrosses(int width, int height) {
  const double left = width * kTargetInset, right = width * (1 - kTargetInset);
  const double top = height * kTargetInset, bottom = height * (1 - kTargetInset);
  return {
      {{width * 0.5, height * 0.5}, {left, top}, {right, top}, {right, bottom}, {left, bottom}}};
}

TouchTest::TouchTest(int width, int height, std::optional<TouchPoint> millimetres)
    : crosses_(TouchTestCrosses(width, height)), diagonal_(std::hypot(width, height)) {
  if (millimetres && millimetres->x > 0 && millimetres->y > 0 && width > 0 && height > 0) {
    // Wayland gives a turned output's size unturned: the longer side in
    // millimetres belongs to the longer side in pixels.
    TouchPoint sides = *millimetres;
    if ((sides.x > sides.y && width < height) || (sides.x < sides.y && width > height))
      std::swap(sides.x, sides.y);
    millimetresPerPixel_ = TouchPoint{sides.x / width, sides.y / height};
  }
}

int TouchTest::Touch(TouchPoint at) {
  recent_.push_back(at);
  if (recent_.size() > kTouchTestDotsKept) recent_.pop_front();

  int nearest = -1;
  double best = diagonal_ * kTouchTestReach;
  for (int c = 0; c < kTouchTestCrosses; ++c) {
    const double d = std::hypot(at.x - crosses_[c].x, at.y - crosses_[c].y);
    if (d <= best) {
      best = d;
      nearest = c;
    }
  }
  if (nearest < 0) return -1;
  CrossResult& result = results_[nearest];
  result.touched = true;
  result.pixels = best;
  if (millimetresPerPixel_) {
    result.millimetres = std::hypot((at.x - crosses_[nearest].x) * millimetresPerPixel_->x,
                                    (at.y - crosses_[nearest].y) * millimetresPerPixel_->y);
  }
  return nearest;
}

TouchVerdict TouchTest::Verdict() const {
  bool all = true;
  for (const CrossResult& r : results_) {
    if (r.touched && r.pixels > TolerancePixels()) return TouchVerdict::Fail;
    all &= r.touched;
  }
  return all ? TouchVerdict::Pass : TouchVerdict::Incomplete;
}

}  // namespace orvelle
