#pragma once
// Round half up as the calibration screen and arithmetic use it: v + 0.5
// truncated towards zero, in double precision, so R(-2.5) = -2 and R(-3) = -2.

#include <cmath>
#include <cstdint>
#include <limits>

namespace orvelle {

inline bool FitsInt32(double v) {
  return std::isfinite(v) && v >= std::numeric_limits<int32_t>::min() &&
         v <= std::numeric_limits<int32_t>::max();
}

// Saturates instead of overflowing; NaN gives 0.
inline int32_t RoundHalfUp(double v) {
  const double r = std::trunc(v + 0.5);
  if (std::isnan(r)) return 0;
  if (r <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (r >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(r);
}

}  // namespace orvelle
