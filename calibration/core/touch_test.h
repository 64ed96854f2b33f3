#pragma once
// The touch test's arithmetic: five crosses where the calibration targets of
// the centre and the corners stand, each touch taken by the cross it is meant
// for, its distance in pixels and, where the screen's size is known, in
// millimetres, and whether the screen passes.

#include <array>
#include <deque>
#include <optional>

namespace orvelle {

struct TouchPoint {
  double x = 0;
  double y = 0;
  bool operator==(const TouchPoint&) const = default;
};

inline constexpr int kTouchTestCrosses =
    5;  // centre, top left, top right, bottom right, bottom left
// A cross fails when a touch lands further than this share of the screen's diagonal.
inline constexpr double kTouchTestTolerance = 0.015;
// A touch further than this share of the diagonal from every cross belongs to none.
inline constexpr double kTouchTestReach = 0.08;
inline constexpr size_t kTouchTestDotsKept = 5;

std::array<TouchPoint, kTouchTestCrosses> TouchTestCrosses(int width, int height);

struct CrossResult {
  bool touched = false;
  double pixels = 0;
  std::optional<double> millimetres;
};

enum class TouchVerdict { Incomplete, Pass, Fail };

class TouchTest {
 public:
  // `millimetres`: the screen's physical width and height, when it reports them.
  TouchTest(int width, int height, std::optional<TouchPoint> millimetres);

  // The cross the touch counts for, or -1 when it is near none. A cross keeps
  // its latest touch, so a second try replaces the first.
  int Touch(TouchPoint at);

  const std::array<TouchPoint, kTouchTestCrosses>& Crosses() const { return crosses_; }
  const std::array<CrossResult, kTouchTestCrosses>& Results() const { return results_; }
  const std::deque<TouchPoint>& RecentTouches() const { return recent_; }
  double TolerancePixels() const { return diagonal_ * kTouchTestTolerance; }
  // Fail as soon as one touched cross is off; pass once all are touched and none is.
  TouchVerdict Verdict() const;

 private:
  std::array<TouchPoint, kTouchTestCrosses> crosses_;
  std::array<CrossResult, kTouchTestCrosses> results_{};
  std::deque<TouchPoint> recent_;
  double diagonal_;
  std::optional<TouchPoint> millimetresPerPixel_;
};

}  // namespace orvelle
