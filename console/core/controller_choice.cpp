#include "console/core/controller_choice.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "platform/registry.h"

namespace orvelle::console {
namespace {

constexpr const char* kConsoleSettingsKey = "Software\\Orvelle\\ConsoleSettings";
// Far longer than any device path; a longer value is not one.
constexpr size_t kLongestPath = 4096;

}  // namespace

std::string RememberedController(Registry& registry) {
  std::unique_ptr<RegKey> key;
  if (registry.OpenKey(RegRoot::CurrentUser, kConsoleSettingsKey, RegAccess::Read, key) !=
      RegStatus::Success) {
    return {};
  }
  std::vector<uint8_t> bytes(kLongestPath);
  size_t size = bytes.size();
  RegType type = RegType::None;
  if (key->QueryValue(kShownControllerValue, &type, bytes, &size) != RegStatus::Success ||
      type != RegType::String) {
    return {};
  }
  bytes.resize(std::min(size, bytes.size()));
  // Stored with its terminator; whatever follows the first one is not the path.
  const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  return std::string(bytes.begin(), end);
}

bool RememberController(Registry& registry, const std::string& controllerPath) {
  std::unique_ptr<RegKey> key;
  return registry.CreateKey(RegRoot::CurrentUser, kConsoleSettingsKey, RegAccess::AllAccess, key,
                            nullptr) == RegStatus::Success &&
         SetStringValue(*key, kShownControllerValue, controllerPath) == RegStatus::Success;
}

std::string ControllerToShow(const std::vector<FoundController>& found,
                             const std::string& remembered) {
  const bool present = std::any_of(found.begin(), found.end(),
                                   [&](const FoundController& f) { return f.path == remembered; });
  if (present && !remembered.empty()) return remembered;
  return found.empty() ? std::string() : found.front().path;
}

}  // namespace orvelle::console
