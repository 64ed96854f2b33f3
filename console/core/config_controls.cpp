#include "console/core/config_controls.h"

#include <cstdint>

#include "console/core/version_class.h"

namespace orvelle::console {
namespace {

constexpr int kGoverned16[] = {IDC_VALUE16_TEXT, IDC_VALUE16_SPIN};
constexpr int kGoverned21[] = {IDC_PERIOD_A21, IDC_PERIOD_B21};
constexpr int kGoverned15[] = {IDC_VALUE15, IDC_LEVEL15};
constexpr int kGoverned14[] = {IDC_LEVEL14, IDC_VALUE14};

// A switch combo shows on at index 0.
int SwitchIndex(bool on) {
  return on ? 0 : 1;
}

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

// The entry a step combo shows for what the page holds.
std::optional<int> ShownEntry(int control, const ConfigPageState& state) {
  const StepCombo& combo = *FindStepCombo(control);
  return StepEntry(combo, state.*combo.field);
}

// A switch combo and its value controls: each value control is set where it
// has a position (the controller keeps a switched-off setting's values, and
// they are shown), untouched where it has none, enabled with the switch on.
void AddSwitchedGroup(ControlSettings& controls, int switchId, bool on,
                      std::initializer_list<std::pair<int, std::optional<int>>> values) {
  controls.push_back({switchId, SwitchIndex(on), true});
  for (const auto& [id, position] : values) {
    if (!on) {
      controls.push_back({id, position, false});
    } else if (position) {
      controls.push_back({id, position, true});
    }
  }
}

// A control with no switch of its own, enabled when it holds a valid value.
void AddUnswitched(ControlSettings& controls, int id, std::optional<int> position) {
  controls.push_back({id, position, position.has_value()});
}

std::optional<int> SliderPosition(int level) {
  return InRange(level, kSliderMin, kSliderMax) ? std::optional<int>(level) : std::nullopt;
}

}  // namespace

const StepCombo* FindStepCombo(int control) {
  for (const StepCombo& combo : kStepCombos) {
    if (combo.control == control) return &combo;
  }
  return nullptr;
}

std::optional<int> StepEntry(const StepCombo& combo, int value) {
  if (value % combo.step != 0 || !InRange(value, combo.step, combo.step * kStepEntries)) {
    return std::nullopt;
  }
  return value / combo.step - 1;
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
  AddUnswitched(c, IDC_LEVEL_A17, SliderPosition(s.levelA17));
  AddUnswitched(c, IDC_LEVEL_B17, SliderPosition(s.levelB17));
  AddUnswitched(c, IDC_LEVEL_C17, ShownEntry(IDC_LEVEL_C17, s));
  AddUnswitched(c, IDC_LEVEL_D17, ShownEntry(IDC_LEVEL_D17, s));
  AddSwitchedGroup(c, IDC_ON21, s.on21,
                   {{IDC_PERIOD_A21, IndexIn(kPeriodsA21, s.periodA21)},
                    {IDC_PERIOD_B21, IndexIn(kPeriodsB21, s.periodB21)}});
  AddSwitchedGroup(
      c, IDC_ON15, s.on15,
      {{IDC_VALUE15, ShownEntry(IDC_VALUE15, s)}, {IDC_LEVEL15, ShownEntry(IDC_LEVEL15, s)}});
  AddSwitchedGroup(
      c, IDC_ON14, s.on14,
      {{IDC_VALUE14, ShownEntry(IDC_VALUE14, s)}, {IDC_LEVEL14, ShownEntry(IDC_LEVEL14, s)}});
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

}  // namespace orvelle::console
