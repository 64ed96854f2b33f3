#pragma once
// The nine target slots and which of them a calibration mode uses, in which
// order, and how each is drawn at a given point of the run.
//
// Slots: 0 centre, then clockwise along the edge from the top left:
// 1 top left, 2 top centre, 3 top right, 4 right middle, 5 bottom right,
// 6 bottom centre, 7 bottom left, 8 left middle.

namespace orvelle {

inline constexpr int kTargetSlots = 9;

// 4, 5 or 9 for modes 2, 3 and 4; 0 for any other mode.
int TargetCountForMode(int calMode);

// Slot of target t in the mode's sequence; -1 when the mode has no such target.
int SlotOfTarget(int calMode, int t);

enum class TargetPen { None, Magenta, Grey };

struct TargetLook {
  TargetPen pen = TargetPen::None;
  bool cornerMarks = false;
  bool crossHair = false;

  bool operator==(const TargetLook&) const = default;
};

// The active target is magenta with corner marks only while blinkOn; finished
// ones are grey (magenta in mode 2) with steady marks; the rest stay blank.
TargetLook LookOfSlot(int calMode, int targetIndex, bool blinkOn, int slot);

}  // namespace orvelle
