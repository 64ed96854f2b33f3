#pragma once
// What the simulated controller keeps in its non-volatile memory, with the
// defaults of a new controller and the ranges it accepts on writes.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvelle {

// The answers' field sizes, kept here apart from the programs' own
// (devlink/protocol.h) on purpose: the simulator encodes its answers
// independently, so that a wrong size on either side shows in the tests
// instead of being agreed on by both.
inline constexpr size_t kModelTextLength = 8;  // GET_MODEL, GET_INFO_F3, GET_INFO_F4
inline constexpr size_t kInfoF5TextLength = 56;
inline constexpr size_t kLayoutListA = 14;
inline constexpr size_t kLayoutListB = 26;
inline constexpr uint8_t kTouchCountLimit = 16;

// The 41-byte calibration record of CAL_READ_DATA / CAL_WRITE_DATA. Header A
// holds the mode the nine points were made in (0 for the factory record),
// header B the record version, flag 0 whether a user calibration is stored;
// flags 1 and 2 are kept as written. The pairs are the raw positions of the
// screen centre, corners and edge middles in slot order (centre, top left, top
// middle, top right, right middle, bottom right, bottom middle, bottom left,
// left middle), as CAL_SET_POINTS sends them in modes 3 and 4.
struct CalibrationRecord {
  uint8_t headerA = 0;
  uint8_t headerB = 1;
  std::array<uint8_t, 3> flags{};
  std::array<int16_t, 9> x{};
  std::array<int16_t, 9> y{};
  bool operator==(const CalibrationRecord&) const = default;
};

// Mode 2 calibrations are six affine coefficients; they have no place in the
// record, so they are kept beside it and `affineActive` tells which of the two
// the controller applies.
struct ControllerState {
  std::string modelText = "OVT-6510";
  std::string infoF3Text = "FW2.10.7";
  std::string infoF4Text = "20240312";
  std::string infoF5Text = "UartTrans IR multi-touch frame, simulated controller";
  int8_t infoValue = 3;
  std::vector<int8_t> layoutA = {12, 12, 13};
  std::vector<int8_t> layoutB = {20, 20, 21, -4};

  uint8_t touchSetting = 2;  // TOUCH_SETTINGS value 1 or 2
  uint8_t touchMaximum = 10;
  uint8_t touchCount = 10;

  std::array<uint8_t, 3> cfg12{0, 0, 0};
  uint8_t on14 = 1, level14 = 5;
  uint16_t value14 = 500;
  uint8_t on15 = 1, level15 = 5;
  uint16_t value15 = 3000;
  uint8_t on16 = 1, value16 = 5;
  std::array<uint8_t, 4> cfg17{5, 5, 4, 4};
  uint8_t on21 = 1;
  uint16_t periodA21 = 30, periodB21 = 500;

  uint8_t calMode = 4;  // 2, 3 or 4: 4, 5 or 9 targets
  uint8_t calOption = 0;
  CalibrationRecord record = FactoryRecord();
  std::array<int16_t, 6> affine = IdentityAffine();
  bool affineActive = false;

  bool operator==(const ControllerState&) const = default;

  static CalibrationRecord FactoryRecord();
  static std::array<int16_t, 6> IdentityAffine() { return {4096, 0, 0, 0, 4096, 0}; }
  // Puts the settings that CFG_RESET restores back to their defaults.
  void RestoreConfigDefaults();
};

// Ranges the controller accepts; every write and every loaded state file is
// held to them.
bool IsSwitch(int value);
bool IsTouchSetting(int value);
bool IsTouchMaximum(int value);
bool IsTouchCount(int count, int maximum);
bool IsLevel14Or15(int level);
bool IsValue14(int value);
bool IsValue15(int value);
bool IsValue16(int value);
bool IsLevel17(size_t index, int level);
bool IsPeriodA21(int value);
bool IsPeriodB21(int value);
bool IsCalMode(int mode);
bool IsCalOption(int option);
// Calibration points and record values: half a screen beyond each edge.
bool IsCalibrationValue(int value);
bool IsValidRecord(const CalibrationRecord& record);
bool IsPrintableText(const std::string& text, size_t maxLength);
// Every field in range; `why` names the first that is not.
bool IsValidState(const ControllerState& state, std::string& why);

std::array<uint8_t, 41> EncodeRecord(const CalibrationRecord& record);
CalibrationRecord DecodeRecord(std::span<const uint8_t, 41> bytes);

}  // namespace orvelle
