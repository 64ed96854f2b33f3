#include "ctl/config_keys.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "ctl/text.h"

namespace orvelle::ctl {
namespace {

using namespace orvelle::console;
using S = ConfigPageState;

const ConfigKey kKeys[] = {
    {"touch.setting", TOUCH_SETTINGS, IDC_TOUCH_SETTING, KeyKind::TouchSetting, &S::touchSetting2},
    {"cfg12.a", CFG_12, IDC_SWITCH_A12, KeyKind::Switch, &S::switchA12},
    {"cfg12.b", CFG_12, IDC_SWITCH_B12, KeyKind::Switch, &S::switchB12},
    {"cfg12.c", CFG_12, IDC_SWITCH_C12, KeyKind::Switch, &S::switchC12},
    {"cfg16.on", CFG_16, IDC_ON16, KeyKind::Switch, &S::on16},
    {"cfg16.value", CFG_16, IDC_VALUE16_SPIN, KeyKind::Spin, nullptr, &S::value16},
    {"cfg17.a", CFG_17, IDC_LEVEL_A17, KeyKind::Slider, nullptr, &S::levelA17},
    {"cfg17.b", CFG_17, IDC_LEVEL_B17, KeyKind::Slider, nullptr, &S::levelB17},
    {"cfg17.c", CFG_17, IDC_LEVEL_C17, KeyKind::Steps, nullptr, &S::levelC17},
    {"cfg17.d", CFG_17, IDC_LEVEL_D17, KeyKind::Steps, nullptr, &S::levelD17},
    {"cfg21.on", CFG_21, IDC_ON21, KeyKind::Switch, &S::on21},
    {"cfg21.period-a", CFG_21, IDC_PERIOD_A21, KeyKind::PeriodA, nullptr, &S::periodA21},
    {"cfg21.period-b", CFG_21, IDC_PERIOD_B21, KeyKind::PeriodB, nullptr, &S::periodB21},
    {"cfg15.on", CFG_15, IDC_ON15, KeyKind::Switch, &S::on15},
    {"cfg15.level", CFG_15, IDC_LEVEL15, KeyKind::Steps, nullptr, &S::level15},
    {"cfg15.value", CFG_15, IDC_VALUE15, KeyKind::Steps, nullptr, &S::value15},
    {"cfg14.on", CFG_14, IDC_ON14, KeyKind::Switch, &S::on14},
    {"cfg14.level", CFG_14, IDC_LEVEL14, KeyKind::Steps, nullptr, &S::level14},
    {"cfg14.value", CFG_14, IDC_VALUE14, KeyKind::Steps, nullptr, &S::value14},
};

template <size_t N>
std::string Listed(const std::array<int, N>& table) {
  std::string text = "one of";
  for (size_t i = 0; i < N; ++i)
    text += (i == 0 ? " " : ", ") + std::to_string(table[i]);
  return text;
}

std::optional<int> Number(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// The control's entry for `value`: combo index, slider or spin position.
std::optional<int> Position(const ConfigKey& key, std::string_view text) {
  if (key.kind == KeyKind::Switch) {
    if (text == "on") return 0;
    if (text == "off") return 1;
    return std::nullopt;
  }
  const std::optional<int> value = Number(text);
  if (!value) return std::nullopt;
  const int v = *value;
  switch (key.kind) {
    case KeyKind::TouchSetting:
      return v == 1 || v == 2 ? std::optional<int>(v - 1) : std::nullopt;
    case KeyKind::Slider:
      return v >= kSliderMin && v <= kSliderMax ? value : std::nullopt;
    case KeyKind::Spin:
      return v >= kValue16Min && v <= kValue16Max ? value : std::nullopt;
    case KeyKind::Steps:
      return StepEntry(*FindStepCombo(key.control), v);
    case KeyKind::PeriodA:
      return IndexIn(kPeriodsA21, v);
    case KeyKind::PeriodB:
      return IndexIn(kPeriodsB21, v);
    case KeyKind::Switch:
      break;
  }
  return std::nullopt;
}

// The page takes the CFG_16 value as the signed byte the controller reports
// and shows it even beyond the spin's range; every other field it keeps only
// within its control's range.
bool HeldBeyondControl(const ConfigKey& key, std::string_view text) {
  const std::optional<int> value = Number(text);
  return key.kind == KeyKind::Spin && value && *value >= INT8_MIN && *value <= INT8_MAX;
}

}  // namespace

std::span<const ConfigKey> ConfigKeys() {
  return kKeys;
}

const ConfigKey* FindConfigKey(std::string_view name) {
  for (const ConfigKey& key : kKeys) {
    if (name == key.name) return &key;
  }
  return nullptr;
}

std::string Accepted(const ConfigKey& key) {
  switch (key.kind) {
    case KeyKind::Switch:
      return "on or off";
    case KeyKind::TouchSetting:
      return "1 or 2";
    case KeyKind::Slider:
      return std::to_string(kSliderMin) + " to " + std::to_string(kSliderMax);
    case KeyKind::Spin:
      return std::to_string(kValue16Min) + " to " + std::to_string(kValue16Max);
    case KeyKind::Steps: {
      const int step = FindStepCombo(key.control)->step;
      return std::to_string(step) + " to " + std::to_string(step * kStepEntries) +
             (step > 1 ? " in steps of " + std::to_string(step) : "");
    }
    case KeyKind::PeriodA:
      return Listed(kPeriodsA21);
    case KeyKind::PeriodB:
      return Listed(kPeriodsB21);
  }
  return {};
}

std::string FormatValue(const ConfigKey& key, const ConfigPageState& state) {
  if (key.kind == KeyKind::TouchSetting) return state.*key.flag ? "2" : "1";
  if (key.flag) return state.*key.flag ? "on" : "off";
  return std::to_string(state.*key.number);
}

std::optional<Setting> CheckSetting(const ConfigKey& key, std::string_view value,
                                    std::string& error, ValueRange range) {
  const bool held = range == ValueRange::Held && HeldBeyondControl(key, value);
  if (!held && !Position(key, value)) {
    error = std::string(key.name) + " takes " + Accepted(key) + ", not " +
            QuoteGiven(std::string(value));
    return std::nullopt;
  }
  return Setting{&key, std::string(value)};
}

std::optional<Setting> ParseSetting(std::string_view text, std::string& error) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    error = QuoteGiven(std::string(text)) + " is not KEY=VALUE";
    return std::nullopt;
  }
  const std::string_view name = text.substr(0, equals);
  const ConfigKey* key = FindConfigKey(name);
  if (!key) {
    error = "there is no setting " + QuoteGiven(std::string(name)) +
            "; `orvellectl config show` lists the settings";
    return std::nullopt;
  }
  return CheckSetting(*key, text.substr(equals + 1), error);
}

void ApplySetting(const Setting& setting, ConfigExchange& exchange) {
  const ConfigKey& key = *setting.key;
  const int position = Position(key, setting.value).value_or(0);
  switch (key.kind) {
    case KeyKind::Slider:
      exchange.Slide(key.control, position);
      break;
    case KeyKind::Spin:
      exchange.Step(position, 0);
      break;
    default:
      exchange.Select(key.control, position);
      break;
  }
}

}  // namespace orvelle::ctl
