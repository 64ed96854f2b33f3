#include "devlink/frame.h"

#include <algorithm>
#include <vector>

namespace orvelle {

bool BuildFrame(FrameBuffer& frame, uint8_t reportId, uint8_t code,
                std::span<const uint8_t> payload) {
  frame.fill(0);
  if (payload.size() > kFrameBufferSize - 4) return false;
  frame[0] = reportId;
  frame[1] = code;
  frame[2] = static_cast<uint8_t>(payload.size());
  std::copy(payload.begin(), payload.end(), frame.begin() + 3);
  frame[3 + payload.size()] = kFrameTerminator;
  return true;
}

bool BuildFrame(FrameBuffer& frame, uint8_t reportId, uint8_t code,
                std::initializer_list<uint8_t> payload) {
  return BuildFrame(frame, reportId, code, std::span<const uint8_t>(payload.begin(), payload.size()));
}

std::string FrameText(std::span<const uint8_t> frame, size_t offset, size_t fieldLength) {
  std::string text;
  for (size_t i = offset; i < offset + fieldLength && i < frame.size(); ++i) {
    if (frame[i] == 0) break;
    text.push_back(static_cast<char>(frame[i]));
  }
  return text;
}

}  // namespace orvelle
