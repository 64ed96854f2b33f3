#include "calibration/core/mouse_settings.h"

#include <array>
#include <memory>

#include "calibration/core/start_up.h"

namespace orvelle {
namespace {

// What the settings store holds is read into a 4-byte buffer, terminator
// included; anything longer fails as the registry read does.
bool ReadSetting(RegKey& key, const char* name, int& value) {
  std::array<uint8_t, 4> buffer{};
  size_t size = buffer.size();
  RegType type = RegType::None;
  if (key.QueryValue(name, &type, buffer, &size) != RegStatus::Success) return false;
  std::string text;
  for (size_t i = 0; i < size && i < buffer.size() && buffer[i] != 0; ++i) {
    text.push_back(static_cast<char>(buffer[i]));
  }
  value = LeadingDecimal(text);
  return true;
}

bool IsMissing(RegKey& key, const char* name) {
  size_t size = 0;
  return key.QueryValue(name, nullptr, {}, &size) == RegStatus::FileNotFound;
}

void FillMissingFromDesktop(RegKey& key, const DesktopDoubleClick& desktop) {
  const std::string distance = std::to_string(desktop.distance);
  const std::pair<const char*, std::string> values[] = {
      {kDoubleClickHeight, distance},
      {kDoubleClickWidth, distance},
      {kDoubleClickSpeed, std::to_string(desktop.interval)},
  };
  for (const auto& [name, text] : values) {
    if (IsMissing(key, name)) SetStringValue(key, name, text);
  }
}

std::unique_ptr<RegKey> OpenMouseKey(Registry& registry, bool mayCreate) {
  std::unique_ptr<RegKey> key;
  RegStatus status =
      registry.OpenKey(RegRoot::CurrentUser, kMouseSettingsKey, RegAccess::AllAccess, key);
  if (status == RegStatus::FileNotFound && mayCreate) {
    status = registry.CreateKey(RegRoot::CurrentUser, kMouseSettingsKey, RegAccess::AllAccess, key,
                                nullptr);
  }
  return status == RegStatus::Success ? std::move(key) : nullptr;
}

}  // namespace

bool ApplyMouseSettings(Registry& registry, const std::optional<DesktopDoubleClick>& desktop,
                        const MouseMessageFn& show) {
  std::unique_ptr<RegKey> key = OpenMouseKey(registry, desktop.has_value());
  if (!key) {
    show(kMsgCannotOpenMouseKey, "");
    return false;
  }
  if (desktop) FillMissingFromDesktop(*key, *desktop);

  int height = 0, width = 0;
  if (!ReadSetting(*key, kDoubleClickHeight, height)) {
    show(kMsgCannotReadMouseValue, kDoubleClickHeight);
    return false;
  }
  if (!ReadSetting(*key, kDoubleClickWidth, width)) {
    show(kMsgCannotReadMouseValue, kDoubleClickWidth);
    return false;
  }
  if (!ShouldEnlargeDoubleClick(width, height)) return true;

  const std::pair<const char*, const char*> enlarged[] = {
      {kDoubleClickHeight, kEnlargedDoubleClickSize},
      {kDoubleClickWidth, kEnlargedDoubleClickSize},
      {kDoubleClickSpeed, kEnlargedDoubleClickSpeed},
  };
  for (const auto& [name, text] : enlarged) {
    if (SetStringValue(*key, name, text) != RegStatus::Success) {
      show(kMsgCannotWriteMouseValue, name);
      return false;
    }
  }
  return true;
}

}  // namespace orvelle
