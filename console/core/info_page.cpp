#include "console/core/info_page.h"

#include <algorithm>

namespace orvelle::console {
namespace {

constexpr char kTransferPrefix[] = "UartTrans";

// "12+12+13" from `count` signed bytes after `countOffset`; none for a
// negative count. FrameView reads nothing past the frame.
std::string JoinList(const FrameView& frame, size_t countOffset, int count, int capacity) {
  std::string list;
  const int n = std::clamp(count, 0, capacity);
  for (int i = 0; i < n; ++i) {
    if (i > 0) list += '+';
    list += std::to_string(static_cast<int8_t>(frame.At(countOffset + 1 + static_cast<size_t>(i))));
  }
  return list;
}

}  // namespace

FrameBuffer InfoExchange::Request(uint8_t code) {
  FrameBuffer frame;
  BuildFrame(frame, kCommandReportId, code, {kSubRead});
  return frame;
}

bool InfoExchange::HandleFrame(std::span<const uint8_t> bytes) {
  const FrameView frame(bytes);
  // Identities come as command frames only, as every page takes its answers.
  if (frame.ReportId() != kCommandReportId) return false;
  const uint8_t code = frame.Code();
  if (frame.PayloadLength() != ReadAnswerLength(code)) return false;
  if (frame.Payload(0) != kSubRead) return false;
  switch (code) {
    case GET_MODEL:
      state_.modelText = FrameText(bytes, kTextOffset, kShortTextLength);
      break;
    case GET_INFO_F3:
      state_.identity2 = FrameText(bytes, kTextOffset, kShortTextLength);
      break;
    case GET_INFO_F4:
      state_.identity3 = FrameText(bytes, kTextOffset, kShortTextLength);
      break;
    case GET_INFO_F5:
      state_.identity4 = FrameText(bytes, kTextOffset, kLongTextLength);
      if (state_.identity4.starts_with(kTransferPrefix)) answersValid_ = true;
      break;
    case INFO_01:
      state_.infoValue = static_cast<int8_t>(frame.At(kInfoValueOffset));
      break;
    case GET_LAYOUT:
      TakeLayout(bytes);
      break;
    default:
      return false;
  }
  return true;
}

void InfoExchange::TakeLayout(std::span<const uint8_t> bytes) {
  const FrameView frame(bytes);
  // A count beyond its list's room is shown as the room; a negative one as it came.
  state_.countA =
      std::min<int>(static_cast<int8_t>(frame.At(kLayoutCountAOffset)), kLayoutListACapacity);
  state_.countB =
      std::min<int>(static_cast<int8_t>(frame.At(kLayoutCountBOffset)), kLayoutListBCapacity);
  state_.listA = JoinList(frame, kLayoutCountAOffset, state_.countA, kLayoutListACapacity);
  state_.listB = JoinList(frame, kLayoutCountBOffset, state_.countB, kLayoutListBCapacity);
  answersValid_ = true;
}

}  // namespace orvelle::console
