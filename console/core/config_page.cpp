#include "console/core/config_page.h"

namespace orvelle::console {
namespace {

template <size_t N>
std::optional<int> EntryAt(const std::array<int, N>& table, int index) {
  if (index < 0 || index >= static_cast<int>(N)) return std::nullopt;
  return table[static_cast<size_t>(index)];
}

}  // namespace

uint8_t ConfigExchange::GroupBit(uint8_t code) {
  const auto* found = std::find(kConfigGroups.begin(), kConfigGroups.end(), code);
  return found == kConfigGroups.end() ? 0
                                      : static_cast<uint8_t>(1u << (found - kConfigGroups.begin()));
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
  const StepCombo* combo = FindStepCombo(controlId);
  if (combo && InRange(index, 0, kStepEntries - 1)) s.*combo->field = combo->step * (index + 1);
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
