#include "shell/core/language_choice.h"

#include <cstdint>

#include "platform/settings_key.h"
#include "shell/message_style.h"

namespace orvelle {

namespace {

constexpr const char* kErrorCaption = "Error";

// A damaged or unreadable store says why in more words than the start-up's
// fixed message; the user needs them to find the file.
std::string WithStoreDetail(const std::string& text, Registry& registry, RegStatus status) {
  const bool storeProblem = status == RegStatus::RegistryCorrupt || status == RegStatus::CantRead ||
                            status == RegStatus::CantWrite;
  const std::string detail = storeProblem ? registry.LastErrorText() : std::string();
  return detail.empty() ? text : text + "\n\n" + detail;
}

}  // namespace

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) line += ' ';
    line += arguments[i];
  }
  return line;
}

bool ReadLanguageSetting(Registry& registry, int& languageCode, const StartupMessageFn& show) {
  SettingsKey key;
  bool created = false;
  RegStatus status = key.Create(registry, kGlobalSettingsKey, &created);
  if (status != RegStatus::Success) {
    show(WithStoreDetail("Failed to create the registry!", registry, status), kErrorCaption, kMbOk);
    return false;
  }
  // A new key gets the current code, unless the machine gives one (the
  // language chosen when the programs were installed).
  if (created && !key.HasDefault(kLanguageValue)) {
    status = SetDwordValue(key.User(), kLanguageValue, static_cast<uint32_t>(languageCode));
    if (status != RegStatus::Success) {
      show(WithStoreDetail("Failed to create register key: ", registry, status), kErrorCaption,
           kMbOk);
      return false;
    }
    return true;
  }
  uint8_t value = 0;
  status = key.QueryLowByte(kLanguageValue, value);
  if (status != RegStatus::Success) {
    show(WithStoreDetail("Failed to get register key: Language", registry, status), kErrorCaption,
         kMbOk);
    return false;
  }
  // Only the low-order byte counts: a stored 257 means 1.
  languageCode = value;
  return true;
}

int LanguageCodeForStart(std::string_view commandLine, int languageCode, Registry& registry,
                         const StartupMessageFn& show) {
  if (commandLine == "0") return kLanguageEnglish;
  if (commandLine == "1") return kLanguageChinese;
  if (!ReadLanguageSetting(registry, languageCode, show)) return kLanguageEnglish;
  return languageCode;
}

std::string LanguagePackName(ShellProgram program, int languageCode) {
  const std::string family = program == ShellProgram::Console ? "Kelvra" : "Tessaly";
  return family + (languageCode == kLanguageChinese ? "Chinese" : "English");
}

std::string LanguagePackFileName(ShellProgram program, int languageCode) {
  return LanguagePackName(program, languageCode) + ".rcc";
}

std::string MissingPackMessage(ShellProgram program, const std::string& fileName) {
  std::string text = "Cannot find language file: " + fileName;
  if (program == ShellProgram::Console) text += '!';
  return text;
}

std::string UnusablePackMessage(const std::string& path, const std::string& why) {
  return "Cannot use language file: " + path +
         "\n\nThe file is damaged or belongs to another program: " + why + ".";
}

}  // namespace orvelle
