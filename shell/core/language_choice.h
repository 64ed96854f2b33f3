#pragma once
// The language decisions of application start-up, free of Qt: the command
// line, the shared "Language" setting, and the pack each program loads.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace orvelle {

enum class ShellProgram { Console, Calibration };

// Shows a message box without owner window; returns the button pressed.
using StartupMessageFn =
    std::function<int(const std::string& text, const std::string& caption, unsigned style)>;

inline constexpr int kLanguageEnglish = 0;
inline constexpr int kLanguageChinese = 1;
inline constexpr int kInitialLanguageCode = 2;

inline constexpr const char* kGlobalSettingsKey = "Software\\Orvelle\\GlobalSettings";
inline constexpr const char* kLanguageValue = "Language";

// The program's arguments after its name, joined by single blanks, as the
// toolkit hands the command line to the application.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// Reads "Language" into `languageCode`, creating the key with the current
// code when it is missing. Shows the start-up's English message and returns
// false when the store fails.
bool ReadLanguageSetting(Registry& registry, int& languageCode, const StartupMessageFn& show);

// Exactly "0" or "1" decides; anything else asks the store, and a failed read
// gives English.
int LanguageCodeForStart(std::string_view commandLine, int languageCode, Registry& registry,
                         const StartupMessageFn& show);

// "KelvraChinese", "TessalyEnglish", ...: code 1 is Chinese, any other English.
std::string LanguagePackName(ShellProgram program, int languageCode);
// The pack's file name, as the missing-pack message names it.
std::string LanguagePackFileName(ShellProgram program, int languageCode);
// "Cannot find language file: %s!" (console) or "... %s" (calibration program).
std::string MissingPackMessage(ShellProgram program, const std::string& fileName);
// A pack file that is there but damaged, or lacks what the program needs.
std::string UnusablePackMessage(const std::string& path, const std::string& why);

}  // namespace orvelle
