#include "ctl/config_document.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace orvelle::ctl {
namespace {

using namespace orvelle::console;
using Json = nlohmann::ordered_json;

constexpr const char* kFormat = "orvelle-config";
constexpr int kVersion = 1;
constexpr const char* kSettings = "settings";

Json SettingValue(const ConfigKey& key, const ConfigPageState& state) {
  if (key.kind == KeyKind::Switch) return FormatValue(key, state);
  return key.flag ? Json(state.*key.flag ? 2 : 1) : Json(state.*key.number);
}

// The setting's value as `config set` takes it; none when of the wrong type.
std::optional<std::string> ValueText(const ConfigKey& key, const Json& value) {
  // Switches are written as words, everything else as numbers.
  if (key.kind == KeyKind::Switch) {
    if (value.is_string()) return value.get<std::string>();
  } else if (value.is_number_integer()) {
    return value.is_number_unsigned() ? std::to_string(value.get<uint64_t>())
                                      : std::to_string(value.get<int64_t>());
  }
  return std::nullopt;
}

std::optional<std::vector<Setting>> Fail(DocumentError& error, std::string field, std::string why) {
  error = {std::move(field), std::move(why)};
  return std::nullopt;
}

}  // namespace

std::string FormatConfigDocument(const ConfigPageState& state, int windowsClass) {
  Json settings = Json::object();
  for (const ConfigKey& key : ConfigKeys()) {
    if (GroupInClass(key.group, windowsClass)) settings[key.name] = SettingValue(key, state);
  }
  const Json document = {{"format", kFormat}, {"version", kVersion}, {kSettings, settings}};
  return document.dump(2) + "\n";
}

std::optional<std::vector<Setting>> ParseConfigDocument(std::string_view text, int windowsClass,
                                                        DocumentError& error) {
  const Json document = Json::parse(text, nullptr, false);
  if (document.is_discarded() || !document.is_object())
    return Fail(error, "(document)", "not a JSON object");
  for (const auto& [name, value] : document.items()) {
    // A member may be named "": the message must still say which one.
    if (name != "format" && name != "version" && name != kSettings)
      return Fail(error, name.empty() ? "\"\"" : name, "no member of a settings file");
  }
  const auto format = document.find("format");
  if (format == document.end() || !format->is_string() || *format != kFormat)
    return Fail(error, "format", std::string("must be \"") + kFormat + "\"");
  const auto version = document.find("version");
  if (version == document.end() || !version->is_number_integer() || *version != kVersion)
    return Fail(error, "version", "must be " + std::to_string(kVersion));
  const auto found = document.find(kSettings);
  if (found == document.end() || !found->is_object())
    return Fail(error, kSettings, "must be an object of KEY: VALUE");
  std::vector<Setting> settings;
  for (const auto& [name, value] : found->items()) {
    const std::string field = std::string(kSettings) + "." + name;
    const ConfigKey* key = FindConfigKey(name);
    if (!key) return Fail(error, field, "there is no such setting");
    const std::optional<std::string> valueText = ValueText(*key, value);
    if (!valueText) return Fail(error, field, "takes " + Accepted(*key));
    std::string why;
    const std::optional<Setting> setting = CheckSetting(*key, *valueText, why, ValueRange::Held);
    if (!setting) return Fail(error, field, why);
    if (GroupInClass(key->group, windowsClass)) settings.push_back(*setting);
  }
  for (const ConfigKey& key : ConfigKeys()) {
    const bool given = std::any_of(settings.begin(), settings.end(),
                                   [&](const Setting& s) { return s.key == &key; });
    if (GroupInClass(key.group, windowsClass) && !given)
      return Fail(error, std::string(kSettings) + "." + key.name, "is missing");
  }
  return settings;
}

std::optional<std::vector<uint8_t>> ApplyChangedSettings(std::span<const Setting> settings,
                                                         int windowsClass, ConfigExchange& exchange,
                                                         DocumentError& error) {
  ConfigExchange before = exchange;
  for (const Setting& setting : settings) {
    if (FormatValue(*setting.key, exchange.State()) == setting.value) continue;
    std::string why;
    if (!CheckSetting(*setting.key, setting.value, why)) {
      error = {std::string(kSettings) + "." + setting.key->name,
               why + " (the controller holds " + FormatValue(*setting.key, exchange.State()) + ")"};
      return std::nullopt;
    }
    ApplySetting(setting, exchange);
  }
  std::vector<uint8_t> groups;
  for (uint8_t code : kConfigGroups) {
    if (GroupInClass(code, windowsClass) &&
        before.WriteRequest(code) != exchange.WriteRequest(code))
      groups.push_back(code);
  }
  return groups;
}

}  // namespace orvelle::ctl
