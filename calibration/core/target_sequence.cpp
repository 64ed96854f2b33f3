#include "calibration/core/target_sequence.h"

namespace orvelle {
namespace {

bool IsOdd(int v) {
  return v % 2 != 0;
}

TargetLook Active(bool blinkOn) {
  return {TargetPen::Magenta, blinkOn, true};
}
TargetLook Finished(TargetPen pen) {
  return {pen, true, true};
}

}  // namespace

int TargetCountForMode(int calMode) {
  switch (calMode) {
    case 2:
      return 4;
    case 3:
      return 5;
    case 4:
      return 9;
    default:
      return 0;
  }
}

int SlotOfTarget(int calMode, int t) {
  if (t < 0 || t >= TargetCountForMode(calMode)) return -1;
  switch (calMode) {
    case 2:
      return 2 * t + 1;
    case 3:
      return t == 0 ? 0 : 2 * t - 1;
    default:
      return t;
  }
}

TargetLook LookOfSlot(int calMode, int t, bool blinkOn, int s) {
  switch (calMode) {
    case 4:
      if (s == t) return Active(blinkOn);
      if (s < t) return Finished(TargetPen::Grey);
      return {};
    case 3:
      if ((t == 0 && s == 0) || (t >= 1 && s == 2 * t - 1)) return Active(blinkOn);
      if ((s == 0 && t > 0) || (IsOdd(s) && s <= 2 * t - 3)) return Finished(TargetPen::Grey);
      return {};
    case 2:
      if (s == 2 * t + 1) return Active(blinkOn);
      if (IsOdd(s) && s < 2 * t + 1) return Finished(TargetPen::Magenta);
      return {};
    default:
      return {};
  }
}

}  // namespace orvelle
