#include "console/core/startup_options.h"

#include <cstdint>
#include <memory>

#include "platform/registry.h"
#include "platform/settings_key.h"
#include "shell/core/language_choice.h"

namespace orvelle::console {
namespace {

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
  StoredSetting language[] = {{kLanguageValue, options_.languageCode}};
  if (!ReadSettings(kGlobalSettingsKey, language)) return false;
  options_.languageCode = language[0].value;
  return true;
}

bool OptionsSettings::ReadStartupSettings() {
  StoredSetting startup[] = {{kLoadProgramOnStartup, options_.loadProgramOnStartup},
                             {kMinimizeWindowOnLoaded, options_.minimizeWindowOnLoaded}};
  if (!ReadSettings(kStartupSettingsKey, startup)) return false;
  options_.loadProgramOnStartup = startup[0].value != 0;
  options_.minimizeWindowOnLoaded = startup[1].value != 0;
  return true;
}

bool OptionsSettings::ReadSettings(const char* path, std::span<StoredSetting> values) {
  SettingsKey key;
  bool created = false;
  if (key.Create(registry_, path, &created) != RegStatus::Success) {
    Error(kMsgCannotOpenOrCreate);
    return false;
  }
  for (StoredSetting& setting : values) {
    // A new key gets the page's value, unless the machine gives one.
    if (created && !key.HasDefault(setting.name)) {
      if (!WriteDword(key.User(), setting.name, setting.value)) {
        Error(kMsgCannotWriteNew, setting.name);
        return false;
      }
      continue;
    }
    uint8_t value = 0;
    if (key.QueryLowByte(setting.name, value) != RegStatus::Success) {
      Error(kMsgCannotRead, setting.name);
      return false;
    }
    setting.value = value;
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
  if (registry_.OpenKey(registry_.Settings().user, kGlobalSettingsKey, RegAccess::AllAccess, key) !=
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
  if (registry_.OpenKey(registry_.Settings().user, kStartupSettingsKey, RegAccess::AllAccess,
                        key) != RegStatus::Success) {
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
