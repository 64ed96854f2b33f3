#pragma once
// What an answer frame means to the calibration program. Frames are
// untrusted: anything not exactly as expected means nothing.

#include <array>
#include <cstdint>
#include <span>

namespace orvelle {

struct CalibrationAnswer {
  enum Kind {
    None,      // ignored
    Mode,      // CAL_GET_MODE answered with 2, 3 or 4: `mode`
    Refused,   // the controller refused a request: message 1066
    Taken,     // CAL_BEGIN answered {1}, CAL_SET_POINTS or CAL_END a status other than 0
    RawPoint,  // CAL_RAW_POINT: `raw` holds its five payload bytes
  };
  Kind kind = None;
  int mode = 0;
  std::array<uint8_t, 5> raw{};
};

CalibrationAnswer InterpretAnswer(std::span<const uint8_t> frame);

// The frames the calibration program takes unasked: the raw touch positions.
bool IsRawPoint(std::span<const uint8_t> frame);

}  // namespace orvelle
