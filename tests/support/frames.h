#pragma once
// A frame as the controller or a program sends it: envelope, payload,
// terminator, zero padding to the report length of its collection.

#include <cstdint>
#include <span>
#include <vector>

#include "devlink/frame.h"

namespace orvelle::testing {

inline std::vector<uint8_t> Request(uint8_t reportId, uint8_t code,
                                    std::span<const uint8_t> payload) {
  FrameBuffer frame;
  BuildFrame(frame, reportId, code, payload);
  const size_t length =
      reportId == kCalibrationReportId ? kCalibrationFrameLength : kCommandFrameLength;
  return std::vector<uint8_t>(frame.begin(), frame.begin() + static_cast<long>(length));
}

inline std::vector<uint8_t> Request(uint8_t reportId, uint8_t code,
                                    std::initializer_list<uint8_t> payload) {
  return Request(reportId, code, std::span<const uint8_t>(payload.begin(), payload.size()));
}

}  // namespace orvelle::testing
