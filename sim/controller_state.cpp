#include "sim/controller_state.h"

#include <algorithm>

namespace orvelle {
namespace {

constexpr std::array<int, 10> kPeriodsA21 = {3, 5, 10, 20, 30, 45, 60, 90, 120, 180};
constexpr std::array<int, 8> kPeriodsB21 = {100, 200, 300, 500, 750, 1000, 1500, 2000};
constexpr int kCalibrationValueMin = -2048;
constexpr int kCalibrationValueMax = 6143;

bool InRange(int value, int low, int high) {
  return value >= low && value <= high;
}

}  // namespace

CalibrationRecord ControllerState::FactoryRecord() {
  CalibrationRecord r;
  // Centre, then clockwise from the top-left corner; edges at 0 and 4096.
  r.x = {2048, 0, 2048, 4096, 4096, 4096, 2048, 0, 0};
  r.y = {2048, 0, 0, 0, 2048, 4096, 4096, 4096, 2048};
  return r;
}

void ControllerState::RestoreConfigDefaults() {
  const ControllerState d;
  touchSetting = d.touchSetting;
  cfg12 = d.cfg12;
  on14 = d.on14;
  level14 = d.level14;
  value14 = d.value14;
  on15 = d.on15;
  level15 = d.level15;
  value15 = d.value15;
  on16 = d.on16;
  value16 = d.value16;
  cfg17 = d.cfg17;
  on21 = d.on21;
  periodA21 = d.periodA21;
  periodB21 = d.periodB21;
}

bool IsSwitch(int value) {
  return value == 0 || value == 1;
}
bool IsTouchSetting(int value) {
  return value == 1 || value == 2;
}
bool IsTouchMaximum(int value) {
  return InRange(value, 1, kTouchCountLimit);
}
bool IsTouchCount(int count, int maximum) {
  static constexpr std::array<int, 6> kCounts = {1, 2, 4, 6, 10, 16};
  return count <= maximum && std::find(kCounts.begin(), kCounts.end(), count) != kCounts.end();
}
bool IsLevel14Or15(int level) {
  return InRange(level, 1, 10);
}
bool IsValue14(int value) {
  return InRange(value, 100, 1000) && value % 100 == 0;
}
bool IsValue15(int value) {
  return InRange(value, 500, 5000) && value % 500 == 0;
}
bool IsValue16(int value) {
  return InRange(value, 0, 20);
}
bool IsLevel17(size_t index, int level) {
  return InRange(level, 1, index < 2 ? 5 : 10);
}
bool IsPeriodA21(int value) {
  return std::find(kPeriodsA21.begin(), kPeriodsA21.end(), value) != kPeriodsA21.end();
}
bool IsPeriodB21(int value) {
  return std::find(kPeriodsB21.begin(), kPeriodsB21.end(), value) != kPeriodsB21.end();
}
bool IsCalMode(int mode) {
  return InRange(mode, 2, 4);
}
bool IsCalOption(int option) {
  return InRange(option, 0, 4);
}
bool IsCalibrationValue(int value) {
  return InRange(value, kCalibrationValueMin, kCalibrationValueMax);
}

// Header bytes travel as single digits in the console's calibration file, and a
// truncated file reads back as 0xD0: refusing those keeps a broken import out.
bool IsValidRecord(const CalibrationRecord& record) {
  if (record.headerA > 9 || record.headerB > 9) return false;
  for (uint8_t flag : record.flags) {
    if (!IsSwitch(flag)) return false;
  }
  for (size_t i = 0; i < record.x.size(); ++i) {
    if (!IsCalibrationValue(record.x[i]) || !IsCalibrationValue(record.y[i])) return false;
  }
  return true;
}

bool IsPrintableText(const std::string& text, size_t maxLength) {
  if (text.size() > maxLength) return false;
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

bool IsValidState(const ControllerState& s, std::string& why) {
  struct Check {
    bool ok;
    const char* name;
  };
  bool levels17 = true;
  for (size_t i = 0; i < s.cfg17.size(); ++i)
    levels17 = levels17 && IsLevel17(i, s.cfg17[i]);
  const Check checks[] = {
      {IsPrintableText(s.modelText, kModelTextLength), "model"},
      {IsPrintableText(s.infoF3Text, kModelTextLength), "info_f3"},
      {IsPrintableText(s.infoF4Text, kModelTextLength), "info_f4"},
      {IsPrintableText(s.infoF5Text, kInfoF5TextLength), "info_f5"},
      {s.layoutA.size() <= kLayoutListA, "layout_a"},
      {s.layoutB.size() <= kLayoutListB, "layout_b"},
      {IsTouchSetting(s.touchSetting), "touch_setting"},
      {IsTouchMaximum(s.touchMaximum), "touch_maximum"},
      {IsTouchCount(s.touchCount, s.touchMaximum), "touch_count"},
      {std::all_of(s.cfg12.begin(), s.cfg12.end(), [](uint8_t v) { return IsSwitch(v); }), "cfg12"},
      {IsSwitch(s.on14) && IsLevel14Or15(s.level14) && IsValue14(s.value14), "cfg14"},
      {IsSwitch(s.on15) && IsLevel14Or15(s.level15) && IsValue15(s.value15), "cfg15"},
      {IsSwitch(s.on16) && IsValue16(s.value16), "cfg16"},
      {levels17, "cfg17"},
      {IsSwitch(s.on21) && IsPeriodA21(s.periodA21) && IsPeriodB21(s.periodB21), "cfg21"},
      {IsCalMode(s.calMode), "cal_mode"},
      {IsCalOption(s.calOption), "cal_option"},
      {IsValidRecord(s.record), "cal_record"},
  };
  for (const Check& c : checks) {
    if (!c.ok) {
      why = c.name;
      return false;
    }
  }
  return true;
}

std::array<uint8_t, 41> EncodeRecord(const CalibrationRecord& record) {
  std::array<uint8_t, 41> b{};
  b[0] = record.headerA;
  b[1] = record.headerB;
  std::copy(record.flags.begin(), record.flags.end(), b.begin() + 2);
  for (size_t i = 0; i < 9; ++i) {
    const auto x = static_cast<uint16_t>(record.x[i]);
    const auto y = static_cast<uint16_t>(record.y[i]);
    b[5 + 4 * i] = static_cast<uint8_t>(x & 0xFF);
    b[6 + 4 * i] = static_cast<uint8_t>(x >> 8);
    b[7 + 4 * i] = static_cast<uint8_t>(y & 0xFF);
    b[8 + 4 * i] = static_cast<uint8_t>(y >> 8);
  }
  return b;
}

CalibrationRecord DecodeRecord(std::span<const uint8_t, 41> b) {
  CalibrationRecord r;
  r.headerA = b[0];
  r.headerB = b[1];
  std::copy(b.begin() + 2, b.begin() + 5, r.flags.begin());
  for (size_t i = 0; i < 9; ++i) {
    r.x[i] = static_cast<int16_t>(b[5 + 4 * i] | (b[6 + 4 * i] << 8));
    r.y[i] = static_cast<int16_t>(b[7 + 4 * i] | (b[8 + 4 * i] << 8));
  }
  return r;
}

}  // namespace orvelle
