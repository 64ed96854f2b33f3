#include "console/core/config_page.h"

#include <algorithm>
#include <tuple>

#include "platform/os_version.h"

namespace orvelle::console {
namespace {

constexpr int kOtherPlatformClass = 3;
constexpr int kLaterNtClass = 1;
constexpr int kCombosOfTen = 10;

// Payload lengths (frame byte 2) of each group's read answer; -1 for codes
// that are no group of this page.
int ReadAnswerLength(uint8_t code) {
  switch (code) {
    case TOUCH_SETTINGS:
      return 2;
    case CFG_12:
      return 4;
    case CFG_16:
      return 3;
    case CFG_17:
    case CFG_15:
    case CFG_14:
      return 5;
    case CFG_21:
      return 6;
    default:
      return -1;
  }
}

// The controller acknowledges CFG_21, CFG_15 and CFG_14 writes with the
// length of their read answers, the others with {2, status} alone.
int AcknowledgementLength(uint8_t code) {
  return code == CFG_21 || code == CFG_15 || code == CFG_14 ? ReadAnswerLength(code) : 2;
}

constexpr int kResetAnswerLength = 5;

uint8_t GroupBit(uint8_t code) {
  const auto* found = std::find(kConfigGroups.begin(), kConfigGroups.end(), code);
  return found == kConfigGroups.end() ? 0
                                      : static_cast<uint8_t>(1u << (found - kConfigGroups.begin()));
}

bool InRange(int value, int low, int high) {
  return value >= low && value <= high;
}

// The high byte is signed, so 0x80 and above give values no range admits.
int BigEndianValue(uint8_t high, uint8_t low) {
  return static_cast<int8_t>(high) * 256 + low;
}

uint8_t Low(int value) {
  return static_cast<uint8_t>(value & 0xFF);
}
uint8_t High(int value) {
  return static_cast<uint8_t>((value >> 8) & 0xFF);
}
uint8_t Bit(bool on) {
  return on ? 1 : 0;
}

template <size_t N>
std::optional<int> EntryAt(const std::array<int, N>& table, int index) {
  if (index < 0 || index >= static_cast<int>(N)) return std::nullopt;
  return table[static_cast<size_t>(index)];
}

// A switch combo shows on at index 0.
int SwitchIndex(bool on) {
  return on ? 0 : 1;
}

std::optional<int> IndexBelowTen(int index) {
  return InRange(index, 0, kCombosOfTen - 1) ? std::optional<int>(index) : std::nullopt;
}

constexpr int kGoverned16[] = {IDC_VALUE16_TEXT, IDC_VALUE16_SPIN};
constexpr int kGoverned21[] = {IDC_PERIOD_A21, IDC_PERIOD_B21};
constexpr int kGoverned15[] = {IDC_VALUE15, IDC_LEVEL15};
constexpr int kGoverned14[] = {IDC_LEVEL14, IDC_VALUE14};

// The positions that creation and a failed refresh share, but for 1022 and
// the sliders.
ControlSettings FixedPositions(int sliderA, int sliderB) {
  return {
      {IDC_SWITCH_A12, 1, {}},
      {IDC_SWITCH_B12, 1, {}},
      {IDC_SWITCH_C12, 1, {}},
      {IDC_LEVEL_A17, sliderA, {}},
      {IDC_LEVEL_B17, sliderB, {}},
      {IDC_LEVEL_C17, 0, {}},
      {IDC_LEVEL_D17, 0, {}},
      {IDC_ON16, 0, {}},
      {IDC_VALUE16_SPIN, 5, {}},
      {IDC_VALUE16_TEXT, {}, {}},
      {IDC_ON15, 0, {}},
      {IDC_VALUE15, 5, {}},
      {IDC_LEVEL15, 4, {}},
      {IDC_ON14, 0, {}},
      {IDC_VALUE14, 4, {}},
      {IDC_LEVEL14, 4, {}},
      {IDC_ON21, 0, {}},
      {IDC_PERIOD_A21, 4, {}},
      {IDC_PERIOD_B21, 3, {}},
  };
}

// A switch combo and its value controls: each value control is set and
// enabled where it has a position, untouched where it has none, and
// disabled with the switch off.
void AddSwitchedGroup(ControlSettings& controls, int switchId, bool on,
                      std::initializer_list<std::pair<int, std::optional<int>>> values) {
  controls.push_back({switchId, SwitchIndex(on), true});
  for (const auto& [id, position] : values) {
    if (!on) {
      controls.push_back({id, {}, false});
    } else if (position) {
      controls.push_back({id, position, true});
    }
  }
}

void AddLevel(ControlSettings& controls, int id, int level, int highest, int indexOffset) {
  const bool valid = InRange(level, 1, highest);
  controls.push_back({id, valid ? std::optional<int>(level - indexOffset) : std::nullopt, valid});
}

}  // namespace

int WindowsClass(const OsVersion& os) {
  OsVersionInfo v;
  if (!os.Query(v)) return kOtherPlatformClass;
  if (v.platformId == kVerPlatformWin9x) return 0;
  if (v.platformId != kVerPlatformNt) return kOtherPlatformClass;
  if (v.major == 5 && v.minor <= 2) return 2 + static_cast<int>(v.minor);
  if (v.major == 6 && v.minor <= 1) return 5 + static_cast<int>(v.minor);
  return kLaterNtClass;
}

bool GroupInClass(uint8_t code, int windowsClass) {
  return code != TOUCH_SETTINGS || windowsClass == kTouchSettingsClass;
}

ControlSettings InitialControls(int windowsClass) {
  ControlSettings controls = FixedPositions(3, 5);
  const bool touchSettings = windowsClass == kTouchSettingsClass;
  controls.push_back({IDC_TOUCH_SETTING, touchSettings ? 1 : 0,
                      touchSettings ? std::nullopt : std::optional<bool>(false)});
  controls.push_back({IDC_APPLY, {}, false});
  controls.push_back({IDC_RESTORE, {}, false});
  return controls;
}

ControlSettings DisabledControls(int windowsClass) {
  ControlSettings controls = FixedPositions(1, 1);
  controls.push_back({IDC_TOUCH_SETTING, windowsClass == kTouchSettingsClass ? 1 : 0, {}});
  controls.push_back({IDC_APPLY, {}, {}});
  controls.push_back({IDC_RESTORE, {}, {}});
  for (ControlSetting& control : controls)
    control.enabled = false;
  return controls;
}

ControlSettings FilledControls(const ConfigPageState& s, int windowsClass) {
  ControlSettings c = {
      {IDC_TOUCH_SETTING, s.touchSetting2 ? 1 : 0, windowsClass == kTouchSettingsClass},
      {IDC_SWITCH_A12, SwitchIndex(s.switchA12), true},
      {IDC_SWITCH_B12, SwitchIndex(s.switchB12), true},
      {IDC_SWITCH_C12, SwitchIndex(s.switchC12), true},
      {IDC_APPLY, {}, true},
      {IDC_RESTORE, {}, true},
  };
  // The spin takes the value's low 16 bits as a signed position.
  AddSwitchedGroup(c, IDC_ON16, s.on16,
                   {{IDC_VALUE16_TEXT, std::nullopt},
                    {IDC_VALUE16_SPIN, static_cast<int16_t>(s.value16 & 0xFFFF)}});
  if (s.on16) c.push_back({IDC_VALUE16_TEXT, {}, true});
  AddLevel(c, IDC_LEVEL_A17, s.levelA17, kSliderMax, 0);
  AddLevel(c, IDC_LEVEL_B17, s.levelB17, kSliderMax, 0);
  AddLevel(c, IDC_LEVEL_C17, s.levelC17, kCombosOfTen, 1);
  AddLevel(c, IDC_LEVEL_D17, s.levelD17, kCombosOfTen, 1);
  AddSwitchedGroup(c, IDC_ON21, s.on21,
                   {{IDC_PERIOD_A21, IndexIn(kPeriodsA21, s.periodA21)},
                    {IDC_PERIOD_B21, IndexIn(kPeriodsB21, s.periodB21)}});
  AddSwitchedGroup(c, IDC_ON15, s.on15,
                   {{IDC_VALUE15, IndexBelowTen(s.value15 / 500 - 1)},
                    {IDC_LEVEL15, IndexBelowTen(s.level15 - 1)}});
  AddSwitchedGroup(c, IDC_ON14, s.on14,
                   {{IDC_VALUE14, IndexBelowTen(s.value14 / 100 - 1)},
                    {IDC_LEVEL14, IndexBelowTen(s.level14 - 1)}});
  return c;
}

std::span<const int> GovernedBy(int switchId) {
  switch (switchId) {
    case IDC_ON16:
      return kGoverned16;
    case IDC_ON21:
      return kGoverned21;
    case IDC_ON15:
      return kGoverned15;
    case IDC_ON14:
      return kGoverned14;
    default:
      return {};
  }
}

void ConfigExchange::BeginRefresh(int windowsClass) {
  unreadGroups_ = 0;
  for (uint8_t code : kConfigGroups)
    if (GroupInClass(code, windowsClass)) unreadGroups_ |= GroupBit(code);
}

void ConfigExchange::Forget() {
  state_ = {};
  unreadGroups_ = 0xFF;
}

FrameBuffer ConfigExchange::ReadRequest(uint8_t code) {
  FrameBuffer frame;
  BuildFrame(frame, kCommandReportId, code, {kSubRead});
  return frame;
}

FrameBuffer ConfigExchange::ResetRequest() {
  FrameBuffer frame;
  BuildFrame(frame, kCommandReportId, CFG_RESET, {kSubWrite});
  return frame;
}

FrameBuffer ConfigExchange::WriteRequest(uint8_t code) const {
  const ConfigPageState& s = state_;
  FrameBuffer frame;
  switch (code) {
    case TOUCH_SETTINGS:
      BuildFrame(frame, kCommandReportId, code, {kSubWrite, Low(s.touchSetting2 ? 2 : 1)});
      break;
    case CFG_12:
      BuildFrame(frame, kCommandReportId, code,
                 {kSubWrite, Bit(s.switchA12), Bit(s.switchB12), Bit(s.switchC12)});
      break;
    case CFG_16:
      BuildFrame(frame, kCommandReportId, code, {kSubWrite, Bit(s.on16), Low(s.value16)});
      break;
    case CFG_17:
      BuildFrame(frame, kCommandReportId, code,
                 {kSubWrite, Low(s.levelA17), Low(s.levelB17), Low(s.levelC17), Low(s.levelD17)});
      break;
    case CFG_21:
      BuildFrame(frame, kCommandReportId, code,
                 {kSubWrite, Bit(s.on21), High(s.periodA21), Low(s.periodA21), High(s.periodB21),
                  Low(s.periodB21)});
      break;
    case CFG_15:
      BuildFrame(frame, kCommandReportId, code,
                 {kSubWrite, Bit(s.on15), Low(s.level15), High(s.value15), Low(s.value15)});
      break;
    case CFG_14:
      BuildFrame(frame, kCommandReportId, code,
                 {kSubWrite, Bit(s.on14), Low(s.level14), High(s.value14), Low(s.value14)});
      break;
    default:
      frame.fill(0);
      break;
  }
  return frame;
}

ConfigAnswer ConfigExchange::HandleFrame(std::span<const uint8_t> bytes) {
  const FrameView frame(bytes.first(std::min(bytes.size(), kCommandFrameLength)));
  if (frame.ReportId() != kCommandReportId) return ConfigAnswer::None;
  const uint8_t code = frame.Code();
  const int length = frame.PayloadLength();
  const uint8_t sub = frame.Payload(0);
  if (code == CFG_RESET) {
    if (length != kResetAnswerLength || sub != kSubWrite) return ConfigAnswer::None;
    return frame.Payload(1) == 0 ? ConfigAnswer::ResetRefused : ConfigAnswer::ResetDone;
  }
  if (ReadAnswerLength(code) < 0) return ConfigAnswer::None;
  if (sub == kSubRead && length == ReadAnswerLength(code)) {
    TakeRead(code, frame);
    unreadGroups_ &= static_cast<uint8_t>(~GroupBit(code));
    return ConfigAnswer::ReadTaken;
  }
  if (sub == kSubWrite && length == AcknowledgementLength(code) && frame.Payload(1) == 0) {
    applyOk_ = false;
    return ConfigAnswer::WriteRefused;
  }
  return ConfigAnswer::None;
}

// Each field out of its range keeps the value held before.
void ConfigExchange::TakeRead(uint8_t code, const FrameView& f) {
  ConfigPageState& s = state_;
  const auto keepIf = [](int& field, int value, bool valid) {
    if (valid) field = value;
  };
  switch (code) {
    case TOUCH_SETTINGS:
      s.touchSetting2 = f.Payload(1) == 2;
      break;
    case CFG_12:
      s.switchA12 = f.Payload(1) == 1;
      s.switchB12 = f.Payload(2) == 1;
      s.switchC12 = f.Payload(3) == 1;
      break;
    case CFG_16:
      s.on16 = f.Payload(1) == 1;
      if (s.on16) s.value16 = static_cast<int8_t>(f.Payload(2));
      break;
    case CFG_17: {
      int* levels[] = {&s.levelA17, &s.levelB17, &s.levelC17, &s.levelD17};
      for (size_t i = 0; i < 4; ++i) {
        const int level = f.Payload(1 + i);
        keepIf(*levels[i], level, InRange(level, 1, i < 2 ? kSliderMax : kCombosOfTen));
      }
      break;
    }
    case CFG_21: {
      s.on21 = f.Payload(1) == 1;
      if (!s.on21) break;
      const int a = BigEndianValue(f.Payload(2), f.Payload(3));
      const int b = BigEndianValue(f.Payload(4), f.Payload(5));
      keepIf(s.periodA21, a, IndexIn(kPeriodsA21, a).has_value());
      keepIf(s.periodB21, b, IndexIn(kPeriodsB21, b).has_value());
      break;
    }
    case CFG_15:
    case CFG_14: {
      const bool is15 = code == CFG_15;
      bool& on = is15 ? s.on15 : s.on14;
      on = f.Payload(1) == 1;
      if (on) {
        const int step = is15 ? 500 : 100;
        const int level = f.Payload(2);
        const int value = BigEndianValue(f.Payload(3), f.Payload(4));
        keepIf(is15 ? s.level15 : s.level14, level, InRange(level, 1, kCombosOfTen));
        keepIf(is15 ? s.value15 : s.value14, value,
               InRange(value, step, step * kCombosOfTen) && value % step == 0);
      }
      break;
    }
    default:
      break;
  }
}

void ConfigExchange::Select(int controlId, int index) {
  ConfigPageState& s = state_;
  if (controlId == IDC_TOUCH_SETTING) s.touchSetting2 = index != 0;
  const std::pair<int, bool*> switches[] = {{IDC_SWITCH_A12, &s.switchA12},
                                            {IDC_SWITCH_B12, &s.switchB12},
                                            {IDC_SWITCH_C12, &s.switchC12},
                                            {IDC_ON16, &s.on16},
                                            {IDC_ON21, &s.on21},
                                            {IDC_ON15, &s.on15},
                                            {IDC_ON14, &s.on14}};
  for (const auto& [id, on] : switches)
    if (id == controlId) *on = index == 0;
  if (controlId == IDC_PERIOD_A21) s.periodA21 = EntryAt(kPeriodsA21, index).value_or(s.periodA21);
  if (controlId == IDC_PERIOD_B21) s.periodB21 = EntryAt(kPeriodsB21, index).value_or(s.periodB21);
  // The other combos of ten items: step × (index + 1).
  const std::tuple<int, int*, int> steps[] = {
      {IDC_VALUE15, &s.value15, 500},  {IDC_LEVEL15, &s.level15, 1},
      {IDC_VALUE14, &s.value14, 100},  {IDC_LEVEL14, &s.level14, 1},
      {IDC_LEVEL_C17, &s.levelC17, 1}, {IDC_LEVEL_D17, &s.levelD17, 1}};
  for (const auto& [id, field, step] : steps)
    if (id == controlId && IndexBelowTen(index)) *field = step * (index + 1);
}

int ConfigExchange::Step(int position, int delta) {
  state_.value16 = std::clamp(position + delta, kValue16Min, kValue16Max);
  return state_.value16;
}

void ConfigExchange::Slide(int controlId, int position) {
  if (!InRange(position, kSliderMin, kSliderMax)) return;
  if (controlId == IDC_LEVEL_A17) state_.levelA17 = position;
  if (controlId == IDC_LEVEL_B17) state_.levelB17 = position;
}

}  // namespace orvelle::console
