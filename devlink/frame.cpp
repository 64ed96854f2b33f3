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
  return BuildFrame(frame, reportId, code,
                    std::span<const uint8_t>(payload.begin(), payload.size()));
}

AnswerPattern AnswerPattern::Of(std::span<const uint8_t> request) {
  const FrameView r(request);
  AnswerPattern pattern{r.ReportId(), r.Code()};
  // Command frames carry their sub-function first; a request without payload
  // has none to echo.
  if (r.ReportId() == kCommandReportId && r.PayloadLength() > 0) {
    pattern.hasSub = true;
    pattern.sub = r.Payload(0);
  }
  return pattern;
}

bool AnswerPattern::Matches(std::span<const uint8_t> frame) const {
  const FrameView f(frame);
  if (f.Size() < 3 || f.ReportId() != reportId || f.Code() != code) return false;
  return !hasSub || (f.PayloadLength() > 0 && f.Payload(0) == sub);
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
