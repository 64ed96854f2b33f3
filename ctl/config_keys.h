#pragma once
// The configuration page's controls as named settings: each key is one
// control, accepts only what that control can hold, and is set through the
// page's own exchange so that Apply writes it as the console would.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "console/core/config_page.h"

namespace orvelle::ctl {

enum class KeyKind { Switch, TouchSetting, Slider, Steps, PeriodA, PeriodB, Spin };

struct ConfigKey {
  const char* name;
  uint8_t group;
  int control;
  KeyKind kind;
  bool console::ConfigPageState::*flag = nullptr;
  int console::ConfigPageState::*number = nullptr;
};

// In the order of the page's groups.
std::span<const ConfigKey> ConfigKeys();
const ConfigKey* FindConfigKey(std::string_view name);

// What the key's control accepts, for a person: "on or off", "1 to 10", ...
std::string Accepted(const ConfigKey& key);

// The value as `set` and `show` write it.
std::string FormatValue(const ConfigKey& key, const console::ConfigPageState& state);

struct Setting {
  const ConfigKey* key = nullptr;
  std::string value;
};

// What a value is checked against: what the key's control offers, or what
// a controller may hold and report beyond that (the page shows such a value
// but offers no way to choose it).
enum class ValueRange { Control, Held };

// "KEY=VALUE" checked against the key's control; the error names the key
// and what it accepts.
std::optional<Setting> ParseSetting(std::string_view text, std::string& error);
std::optional<Setting> CheckSetting(const ConfigKey& key, std::string_view value,
                                    std::string& error, ValueRange range = ValueRange::Control);

// Sets a value checked against its control as the user would on the page.
void ApplySetting(const Setting& setting, console::ConfigExchange& exchange);

}  // namespace orvelle::ctl
