#pragma once
// The controller's protocol as the programs speak it, in one place: the
// controllers they accept, the two kinds of frame, every command code, and
// the layouts of the payloads they read and write. frame.h builds and reads
// the frames' envelope.
//
// The simulated controller (sim/) encodes its answers from layouts of its own
// on purpose: built on this header, a wrong size here would be agreed on by
// both ends, and no test would see it.

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvelle {

// A USB HID device's identity.
struct HidIdentity {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  auto operator<=>(const HidIdentity&) const = default;
};

// The controllers that the console and the calibration program accept, in
// this order; the factory tool accepts its own one only.
inline constexpr std::array<HidIdentity, 8> kAcceptedControllers = {{
    {0x3D17, 8},
    {0x3D17, 10},
    {0x2A5C, 19},
    {0x2B84, 16},
    {0x1C6E, 16},
    {0x1C6E, 64},
    {0x2F09, 0x1106},
    {0x3A52, 0x68},
}};
inline constexpr HidIdentity kFactoryController = {0x2A5C, 19};

// Frames: [0] report ID  [1] command code  [2] payload length n
//         [3 .. 3+n-1] payload  [3+n] 0xFF  then zeros.
inline constexpr uint8_t kCalibrationReportId = 6;
inline constexpr uint8_t kCommandReportId = 7;
inline constexpr uint8_t kFrameTerminator = 0xFF;
inline constexpr size_t kCommandFrameLength = 64;
inline constexpr size_t kCalibrationFrameLength = 48;

// Calibration frames (report ID 6, channel 4); two-byte values low byte first.
enum CalibrationCommand : uint8_t {
  CAL_GET_MODE = 0x01,    // -> {mode 2|3|4}
  CAL_SET_MODE = 0x02,    // {mode} -> {1 accepted}
  CAL_BEGIN = 0x03,       // -> {1}
  CAL_SET_POINTS = 0x04,  // 12 or 36 bytes -> {status}
  CAL_END = 0x05,         // {1 keep | 0 discard} -> {status}
  CAL_WRITE_DATA = 0x06,  // 41-byte record -> {status, ...}
  CAL_READ_DATA = 0x07,   // -> 41-byte record
  CAL_RAW_POINT = 0x08,   // unsolicited {state, x lo, x hi, y lo, y hi}
  CAL_RESET = 0x09,       // -> {status, ...}
};

// Command frames (report ID 7, channel 5); sub-function first, two-byte values
// high byte first.
enum ConfigCommand : uint8_t {
  INFO_01 = 0x01,
  GET_LAYOUT = 0x02,
  TOUCH_SETTINGS = 0x11,
  CFG_12 = 0x12,
  CAL_OPTION_13 = 0x13,
  CFG_14 = 0x14,
  CFG_15 = 0x15,
  CFG_16 = 0x16,
  CFG_17 = 0x17,
  CFG_21 = 0x21,
  CFG_RESET = 0x81,
  GET_MODEL = 0xF2,
  GET_INFO_F3 = 0xF3,
  GET_INFO_F4 = 0xF4,
  GET_INFO_F5 = 0xF5,
};

// Sub-functions, the first payload byte of command frames.
inline constexpr uint8_t kSubRead = 1;
inline constexpr uint8_t kSubWrite = 2;
inline constexpr uint8_t kSubReadTouchLimits = 3;  // TOUCH_SETTINGS -> {3, maximum, count}
inline constexpr uint8_t kSubWriteTouchCount = 4;  // TOUCH_SETTINGS {4, count} -> {4, status}

// The payload length of the answer to a command frame's read ({1, data}); 0
// for a command that has none.
int ReadAnswerLength(uint8_t code);
// The payload length of the answer to a command frame's write ({2, status}
// and zeros): CFG_14, CFG_15 and CFG_21 answer with their read's length.
int AcknowledgementLength(uint8_t code);

// Identity texts follow the sub-function: single-byte characters, padded
// with zeros. GET_MODEL, GET_INFO_F3 and GET_INFO_F4 hold short ones,
// GET_INFO_F5 a long one.
inline constexpr size_t kTextOffset = 4;  // frame byte
inline constexpr size_t kShortTextLength = 8;
inline constexpr size_t kLongTextLength = 56;
// INFO_01: {1, 0, value}, the value a signed byte.
inline constexpr size_t kInfoValueOffset = 5;  // frame byte
// GET_LAYOUT: {1, count A, 14 values, count B, 26 values}, all signed bytes.
inline constexpr int kLayoutListACapacity = 14;
inline constexpr int kLayoutListBCapacity = 26;
inline constexpr size_t kLayoutCountAOffset = 4;  // frame byte
inline constexpr size_t kLayoutCountBOffset = kLayoutCountAOffset + 1 + kLayoutListACapacity;
// TOUCH_SETTINGS' touch points: {3, maximum, count}, at most this many.
inline constexpr int kTouchLimitsAnswerLength = 3;
inline constexpr int kMaxTouchCount = 16;
// CAL_RAW_POINT's state while the frame is touched.
inline constexpr int kTouchStateTouching = 7;
inline constexpr int kCalibrationRecordLength = 41;

// Two-byte values: big-endian in command frames, little-endian in calibration frames.
constexpr uint8_t HighByte(int value) {
  return static_cast<uint8_t>((value >> 8) & 0xFF);
}
constexpr uint8_t LowByte(int value) {
  return static_cast<uint8_t>(value & 0xFF);
}
constexpr uint16_t ReadBigEndian16(uint8_t high, uint8_t low) {
  return static_cast<uint16_t>((high << 8) | low);
}
constexpr uint16_t ReadLittleEndian16(uint8_t low, uint8_t high) {
  return static_cast<uint16_t>(low | (high << 8));
}

// The command's name for logs ("CAL_BEGIN"), or nullptr when unknown.
const char* CommandName(uint8_t reportId, uint8_t code);

}  // namespace orvelle
