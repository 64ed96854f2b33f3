#pragma once
// Every command code that the programs send or understand.

#include <cstdint>

namespace orvelle {

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

inline constexpr int kTouchStateTouching = 7;
inline constexpr int kCalibrationRecordLength = 41;

// The command's name for logs ("CAL_BEGIN"), or nullptr when unknown.
const char* CommandName(uint8_t reportId, uint8_t code);

}  // namespace orvelle
