#include "sim/touch_geometry.h"

#include <algorithm>
#include <array>

namespace orvelle {
namespace {

constexpr int kNear = 127;
constexpr int kFar = 3968;
constexpr int kMiddle = 2048;
constexpr int kFull = 4096;

uint16_t Clamp(long value) {
  return static_cast<uint16_t>(std::clamp<long>(value, 0, kFull - 1));
}

// Piecewise linear through (low → 0), (centre → 2048), (high → 4096); the
// nine-point record gives those three raw positions per axis.
long MapAxis(long raw, long low, long centre, long high) {
  const bool firstHalf = (low <= high) ? raw < centre : raw > centre;
  const long from = firstHalf ? low : centre;
  const long to = firstHalf ? centre : high;
  const long base = firstHalf ? 0 : kMiddle;
  if (to == from) return base;
  return base + (raw - from) * kMiddle / (to - from);
}

}  // namespace

RawPoint NominalTarget(int slot) {
  static constexpr std::array<RawPoint, 9> kTargets = {{
      {kMiddle, kMiddle},
      {kNear, kNear},
      {kMiddle, kNear},
      {kFar, kNear},
      {kFar, kMiddle},
      {kFar, kFar},
      {kMiddle, kFar},
      {kNear, kFar},
      {kNear, kMiddle},
  }};
  return (slot >= 0 && slot < 9) ? kTargets[static_cast<size_t>(slot)] : RawPoint{};
}

std::vector<int> CaptureOrder(int mode) {
  switch (mode) {
    case 2:
      return {1, 3, 5, 7};
    case 3:
      return {0, 1, 3, 5, 7};
    case 4:
      return {0, 1, 2, 3, 4, 5, 6, 7, 8};
    default:
      return {};
  }
}

RawPoint ApplyCalibration(const ControllerState& state, RawPoint raw) {
  if (state.affineActive) {
    const auto& c = state.affine;
    const long x = (long{c[0]} * raw.x + long{c[1]} * raw.y) / kFull + c[2];
    const long y = (long{c[3]} * raw.x + long{c[4]} * raw.y) / kFull + c[5];
    return {Clamp(x), Clamp(y)};
  }
  const auto& r = state.record;
  return {Clamp(MapAxis(raw.x, r.x[8], r.x[0], r.x[4])),
          Clamp(MapAxis(raw.y, r.y[2], r.y[0], r.y[6]))};
}

}  // namespace orvelle
