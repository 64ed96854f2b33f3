#pragma once
// Where the calibration targets lie in raw controller units, in which order the
// calibration program captures them, and how a stored calibration turns a raw
// position into a screen position.

#include <cstdint>
#include <vector>

#include "sim/controller_state.h"

namespace orvelle {

struct RawPoint {
  uint16_t x = 0;
  uint16_t y = 0;
  bool operator==(const RawPoint&) const = default;
};

// Slots 0..8: centre, then clockwise along the edge from the top-left corner.
// Targets sit at 1/32 and 31/32 of the screen: 127 and 3968.
RawPoint NominalTarget(int slot);
// Slots in capture order: mode 2 the four corners clockwise from top left,
// mode 3 centre then corners, mode 4 all nine; empty for other modes.
std::vector<int> CaptureOrder(int mode);

// The screen position (0..4095 per axis) that the controller reports for a raw
// position under its active calibration.
RawPoint ApplyCalibration(const ControllerState& state, RawPoint raw);

}  // namespace orvelle
