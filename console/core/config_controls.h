#pragma once
// The configuration page's controls: their identifiers, the values each
// offers, what the page holds for them, and how they are set and enabled.

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <vector>

namespace orvelle::console {

// The CFG_21 periods; a combo's index is the position in its table.
inline constexpr std::array<int, 10> kPeriodsA21 = {3, 5, 10, 20, 30, 45, 60, 90, 120, 180};
inline constexpr std::array<int, 8> kPeriodsB21 = {100, 200, 300, 500, 750, 1000, 1500, 2000};

// The position of `value` in such a table, or none when it is not one of its
// choices.
template <size_t N>
std::optional<int> IndexIn(const std::array<int, N>& table, int value) {
  const auto* found = std::find(table.begin(), table.end(), value);
  if (found == table.end()) return std::nullopt;
  return static_cast<int>(found - table.begin());
}

enum ConfigControlId : int {
  IDC_TOUCH_SETTING = 1022,
  IDC_SWITCH_A12 = 1023,
  IDC_SWITCH_B12 = 1024,
  IDC_SWITCH_C12 = 1025,
  IDC_ON15 = 1026,
  IDC_VALUE15 = 1027,
  IDC_LEVEL15 = 1028,
  IDC_ON14 = 1029,
  IDC_LEVEL14 = 1030,
  IDC_VALUE14 = 1031,
  IDC_ON16 = 1032,
  IDC_RESTORE = 1036,
  IDC_APPLY = 1037,
  IDC_VALUE16_TEXT = 1043,
  IDC_VALUE16_SPIN = 1044,
  IDC_LEVEL_C17 = 1045,
  IDC_LEVEL_D17 = 1046,
  IDC_ON21 = 1047,
  IDC_PERIOD_A21 = 1048,
  IDC_PERIOD_B21 = 1049,
  IDC_LEVEL_A17 = 1059,
  IDC_LEVEL_B17 = 1060,
  IDC_LEVEL_C17_LABEL = 1061,
  IDC_LEVEL_D17_LABEL = 1062,
};

// The spin's positions, and the values its steps are clamped to: a step down
// from the lowest position gives 0.
inline constexpr int kSpinMin = 1, kSpinMax = 20;
inline constexpr int kValue16Min = 0, kValue16Max = 20;
inline constexpr int kSliderMin = 1, kSliderMax = 5;

// What the page holds: what the controller last reported, or what the
// user chose since. A value-initialised state holds the initial values.
struct ConfigPageState {
  bool touchSetting2 = true;
  bool switchA12 = false, switchB12 = false, switchC12 = false;
  bool on16 = true;
  int value16 = 0;
  int levelA17 = 5, levelB17 = 5, levelC17 = 4, levelD17 = 4;
  bool on21 = true;
  int periodA21 = 30, periodB21 = 500;
  bool on15 = true;
  int level15 = 5, value15 = 3000;
  bool on14 = true;
  int level14 = 5, value14 = 500;

  bool operator==(const ConfigPageState&) const = default;
};

inline constexpr bool InRange(int value, int low, int high) {
  return value >= low && value <= high;
}

// The combos of ten entries, entry i standing for step × (i + 1); the tool's
// keys accept the same values.
inline constexpr int kStepEntries = 10;
struct StepCombo {
  int control;
  int ConfigPageState::*field;
  int step;
};
inline constexpr StepCombo kStepCombos[] = {
    {IDC_VALUE15, &ConfigPageState::value15, 500},  {IDC_LEVEL15, &ConfigPageState::level15, 1},
    {IDC_VALUE14, &ConfigPageState::value14, 100},  {IDC_LEVEL14, &ConfigPageState::level14, 1},
    {IDC_LEVEL_C17, &ConfigPageState::levelC17, 1}, {IDC_LEVEL_D17, &ConfigPageState::levelD17, 1},
};
// The step combo of `control`; none for other controls.
const StepCombo* FindStepCombo(int control);
// The entry that stands for `value`, or none when no entry does.
std::optional<int> StepEntry(const StepCombo& combo, int value);

// One control as the page sets it: a position (combo index, slider or spin
// position) and whether it is enabled, each only where given.
struct ControlSetting {
  int id = 0;
  std::optional<int> position;
  std::optional<bool> enabled;
  bool operator==(const ControlSetting&) const = default;
};
using ControlSettings = std::vector<ControlSetting>;

// The controls when the page is created: Apply and Restore stay disabled
// until the page holds a complete read of the controller.
ControlSettings InitialControls(int windowsClass);
// After a refresh whose reads completed: every control shows its value, and
// is enabled when it holds a valid one and its switch (if any) is on, so
// that a controller plugged in after a failed refresh makes the page usable.
ControlSettings FilledControls(const ConfigPageState& state, int windowsClass);
// After a refresh whose reads did not complete, or once the controller has
// gone: everything fixed and disabled, Apply and Restore too, so that values
// the page never read are never written.
ControlSettings DisabledControls(int windowsClass);
// The value controls that a switch combo enables and disables; none for
// other controls.
std::span<const int> GovernedBy(int switchId);

}  // namespace orvelle::console
