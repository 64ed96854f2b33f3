#include "platform/settings_key.h"

namespace orvelle {

RegStatus SettingsKey::Create(Registry& registry, std::string_view path, bool* created) {
  const SettingsRoots roots = registry.Settings();
  machine_.reset();
  const RegStatus status =
      registry.CreateKey(roots.user, path, RegAccess::AllAccess, user_, created);
  if (status == RegStatus::Success && roots.defaults) {
    // Without the machine's key there are no defaults, which is no failure.
    if (registry.OpenKey(*roots.defaults, path, RegAccess::Read, machine_) != RegStatus::Success)
      machine_.reset();
  }
  return status;
}

RegStatus SettingsKey::QueryLowByte(std::string_view name, uint8_t& value) {
  uint8_t bytes[4] = {};
  size_t size = sizeof bytes;
  RegStatus status = user_->QueryValue(name, nullptr, bytes, &size);
  if (status == RegStatus::FileNotFound && machine_)
    status = machine_->QueryValue(name, nullptr, bytes, &size);
  if (status == RegStatus::Success) value = bytes[0];
  return status;
}

bool SettingsKey::HasDefault(std::string_view name) {
  return machine_ && machine_->QueryValue(name, nullptr, {}, nullptr) == RegStatus::Success;
}

}  // namespace orvelle
