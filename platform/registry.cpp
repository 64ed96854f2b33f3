#include "platform/registry.h"

#include <vector>

#ifndef _WIN32
#include "platform/file_registry.h"
#endif

namespace orvelle {

std::string_view RootName(RegRoot root) {
  return root == RegRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

RegStatus SetDwordValue(RegKey& key, std::string_view name, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return key.SetValue(name, RegType::Dword, bytes);
}

RegStatus SetStringValue(RegKey& key, std::string_view name, std::string_view text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return key.SetValue(name, RegType::String, bytes);
}

#ifndef _WIN32
std::unique_ptr<Registry> OpenSystemRegistry() {
  return std::make_unique<FileRegistry>(FileRegistry::DefaultFolder());
}
#endif

}  // namespace orvelle
