#include "console/core/info_page.h"

#include <algorithm>

namespace orvelle::console {
namespace {

// Answer payload lengths (frame byte 2) that each request is accepted with.
int AcceptedLength(uint8_t code) {
  switch (code) {
    case GET_MODEL:
    case GET_INFO_F3:
    case GET_INFO_F4:
      return 9;
    case GET_INFO_F5:
      return 57;
    case INFO_01:
      return 3;
    case GET_LAYOUT:
      return 43;
    default:
      return -1;
  }
}

constexpr size_t kShortTextOffset = 4;
constexpr size_t kShortTextLength = 8;
constexpr size_t kLongTextLength = 56;
constexpr char kTransferPrefix[] = "UartTrans";

constexpr size_t kCountAOffset = 4;
constexpr size_t kCountBOffset = 19;

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
  if (static_cast<int8_t>(frame.PayloadLength()) != AcceptedLength(code)) return false;
  if (frame.Payload(0) != kSubRead) return false;
  switch (code) {
    case GET_MODEL:
      state_.modelText = FrameText(bytes, kShortTextOffset, kShortTextLength);
      break;
    case GET_INFO_F3:
      state_.identity2 = FrameText(bytes, kShortTextOffset, kShortTextLength);
      break;
    case GET_INFO_F4:
      state_.identity3 = FrameText(bytes, kShortTextOffset, kShortTextLength);
      break;
    case GET_INFO_F5:
      state_.identity4 = FrameText(bytes, kShortTextOffset, kLongTextLength);
      if (state_.identity4.starts_with(kTransferPrefix)) answersValid_ = true;
      break;
    case INFO_01:
      state_.infoValue = static_cast<int8_t>(frame.At(5));
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
  state_.countA = std::min<int>(static_cast<int8_t>(frame.At(kCountAOffset)),
                                InfoPageState::kListACapacity);
  state_.countB = std::min<int>(static_cast<int8_t>(frame.At(kCountBOffset)),
                                InfoPageState::kListBCapacity);
  state_.listA = JoinList(frame, kCountAOffset, state_.countA, InfoPageState::kListACapacity);
  state_.listB = JoinList(frame, kCountBOffset, state_.countB, InfoPageState::kListBCapacity);
  answersValid_ = true;
}

}  // namespace orvelle::console
