#include "console/core/startup_options.h"

#include <cstdint>
#include <memory>

#include "platform/registry.h"
#include "shell/core/language_choice.h"

namespace orvelle::console {
namespace {

// Only the first byte of a stored value counts; a value longer than four
// bytes does not read.
bool ReadLowByte(RegKey& key, const char* name, uint8_t& value) {
  uint8_t bytes[4] = {};
  size_t size = sizeof bytes;
  if (key.QueryValue(name, nullptr, bytes, &size) != RegStatus::Success) return false;
  value = bytes[0];
  return true;
}

bool WriteDword(RegKey& key, const char* name, int value) {
  return SetDwordValue(key, name, static_cast<uint32_t>(value)) == RegStatus::Success;
}

}  // namespace

OptionsSettings::OptionsSettings(Registry& registry, LogonEntry& logonEntry,
                                 std::string programPath, MessageFn showMessage)
    : registry_(registry),
      logonEntry_(logonEntry),
      programPath_(std::move(programPath)),
      showMessage_(std::move(showMessage)) {}

void OptionsSettings::Error(int textId, const std::string& suffix) const {
  if (showMessage_) showMessage_(textId, kMsgErrorCaption, suffix);
}

void OptionsSettings::Load() {
  if (!ReadLanguageSetting()) options_.languageCode = 0;
  if (!ReadStartupSettings()) {
    options_.loadProgramOnStartup = false;
    options_.minimizeWindowOnLoaded = false;
  }
}

bool OptionsSettings::ReadLanguageSetting() {
  std::unique_ptr<RegKey> key;
  bool created = false;
  if (registry_.CreateKey(RegRoot::LocalMachine, kGlobalSettingsKey, RegAccess::AllAccess, key,
                          &created) != RegStatus::Success) {
    Error(kMsgCannotOpenOrCreate);
    return false;
  }
  if (created) {
    if (!WriteDword(*key, kLanguageValue, options_.languageCode)) {
      Error(kMsgCannotWriteNew, kLanguageValue);
      return false;
    }
    return true;
  }
  uint8_t code = 0;
  if (!ReadLowByte(*key, kLanguageValue, code)) {
    Error(kMsgCannotRead, kLanguageValue);
    return false;
  }
  options_.languageCode = code;
  return true;
}

bool OptionsSettings::ReadStartupSettings() {
  std::unique_ptr<RegKey> key;
  bool created = false;
  if (registry_.CreateKey(RegRoot::LocalMachine, kStartupSettingsKey, RegAccess::AllAccess, key,
                          &created) != RegStatus::Success) {
    Error(kMsgCannotOpenOrCreate);
    return false;
  }
  const std::pair<const char*, bool*> values[] = {
      {kLoadProgramOnStartup, &options_.loadProgramOnStartup},
      {kMinimizeWindowOnLoaded, &options_.minimizeWindowOnLoaded},
  };
  for (const auto& [name, flag] : values) {
    if (created) {
      if (!WriteDword(*key, name, *flag ? 1 : 0)) {
        Error(kMsgCannotWriteNew, name);
        return false;
      }
      continue;
    }
    uint8_t value = 0;
    if (!ReadLowByte(*key, name, value)) {
      Error(kMsgCannotRead, name);
      return false;
    }
    *flag = value != 0;
  }
  return true;
}

bool OptionsSettings::SaveSettings() {
  bool saved = WriteLanguageSetting();
  saved = WriteStartupSettings() && saved;
  saved = (options_.loadProgramOnStartup ? AddRunEntry() : RemoveRunEntry()) && saved;
  if (saved && showMessage_) showMessage_(kMsgSaved, kMsgSavedCaption, {});
  return saved;
}

bool OptionsSettings::WriteLanguageSetting() {
  std::unique_ptr<RegKey> key;
  if (registry_.OpenKey(RegRoot::LocalMachine, kGlobalSettingsKey, RegAccess::AllAccess, key) !=
      RegStatus::Success) {
    Error(kMsgCannotOpenForSave);
    return false;
  }
  if (!WriteDword(*key, kLanguageValue, options_.languageCode)) {
    Error(kMsgCannotSave, kLanguageValue);
    return false;
  }
  return true;
}

bool OptionsSettings::WriteStartupSettings() {
  std::unique_ptr<RegKey> key;
  if (registry_.OpenKey(RegRoot::LocalMachine, kStartupSettingsKey, RegAccess::AllAccess, key) !=
      RegStatus::Success) {
    Error(kMsgCannotOpenForSave);
    return false;
  }
  if (!WriteDword(*key, kLoadProgramOnStartup, options_.loadProgramOnStartup ? 1 : 0)) {
    Error(kMsgCannotSave, kLoadProgramOnStartup);
    return false;
  }
  if (!WriteDword(*key, kMinimizeWindowOnLoaded, options_.minimizeWindowOnLoaded ? 1 : 0)) {
    Error(kMsgCannotSave, kMinimizeWindowOnLoaded);
    return false;
  }
  return true;
}

bool OptionsSettings::AddRunEntry() {
  if (logonEntry_.Add(programPath_) == LogonResult::Failed) {
    Error(kMsgCannotAddLogon);
    return false;
  }
  return true;
}

bool OptionsSettings::RemoveRunEntry() {
  if (logonEntry_.Remove() == LogonResult::Failed) {
    Error(kMsgCannotRemoveLogon);
    return false;
  }
  return true;
}

}  // namespace orvelle::console
