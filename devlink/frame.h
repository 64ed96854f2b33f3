#pragma once
// Building and reading the frame envelope (protocol.h) shared by command
// frames (report ID 7, 64 bytes, channel 5) and calibration frames (report
// ID 6, 48 bytes, channel 4).

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "devlink/protocol.h"

namespace orvelle {

inline constexpr size_t kFrameBufferSize = kCommandFrameLength;
inline constexpr int kCalibrationChannel = 4;
inline constexpr int kCommandChannel = 5;

using FrameBuffer = std::array<uint8_t, kFrameBufferSize>;

// Clears `frame` and builds the envelope. The payload may take at most 60
// bytes (the terminator must fit the 64-byte buffer); false when it does not.
bool BuildFrame(FrameBuffer& frame, uint8_t reportId, uint8_t code,
                std::span<const uint8_t> payload);
bool BuildFrame(FrameBuffer& frame, uint8_t reportId, uint8_t code,
                std::initializer_list<uint8_t> payload);

// Read access to a received frame that never looks past its bytes.
class FrameView {
 public:
  explicit FrameView(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint8_t ReportId() const { return At(0); }
  uint8_t Code() const { return At(1); }
  uint8_t PayloadLength() const { return At(2); }
  // Payload byte k; 0 beyond the frame.
  uint8_t Payload(size_t k) const { return At(3 + k); }
  uint8_t At(size_t offset) const { return offset < bytes_.size() ? bytes_[offset] : 0; }
  size_t Size() const { return bytes_.size(); }
  std::span<const uint8_t> Bytes() const { return bytes_; }

 private:
  std::span<const uint8_t> bytes_;
};

// What answers a request: a frame of the same report ID and command code and,
// for command frames, of the same sub-function. The protocol carries no request
// number, so this is all that tells one program's answer from another's.
struct AnswerPattern {
  uint8_t reportId = 0;
  uint8_t code = 0;
  bool hasSub = false;
  uint8_t sub = 0;

  static AnswerPattern Of(std::span<const uint8_t> request);
  bool Matches(std::span<const uint8_t> frame) const;
};

// Text of an answer: single-byte characters up to the first zero byte, at most
// the whole field; the field is clipped to the frame.
std::string FrameText(std::span<const uint8_t> frame, size_t offset, size_t fieldLength);

}  // namespace orvelle
