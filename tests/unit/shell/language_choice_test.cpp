#include "shell/core/language_choice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/file_registry.h"
#include "tests/support/temp_folder.h"

namespace orvelle {
namespace {

using Arrange = std::function<void(FileRegistry&, RegKey&)>;

Arrange Dword(uint32_t value) {
  return [value](FileRegistry&, RegKey& key) { SetDwordValue(key, kLanguageValue, value); };
}

TEST(LanguageChoice, TheLineDecidesOnlyWhenExactlyZeroOrOneElseTheStoreDoes) {
  struct Case {
    const char* line;
    Arrange stored;  // none: a store never written
    int code;
    const char* message;  // the start of the one message shown, or none
  };
  const Arrange chineseString = [](FileRegistry&, RegKey& key) {
    SetStringValue(key, kLanguageValue, "Chinese");  // 8 bytes do not fit 4
  };
  const Arrange noValue = [](FileRegistry&, RegKey& key) { key.DeleteValue(kLanguageValue); };
  const Arrange damaged = [](FileRegistry& registry, RegKey&) {
    std::ofstream(registry.StorePath(RegRoot::LocalMachine)) << "[HKEY_LOCAL_MACHINE\\Software\n";
  };
  const Case cases[] = {
      {"", nullptr, 2, nullptr},
      {"1", nullptr, kLanguageChinese, nullptr},
      {"0", Dword(1), kLanguageEnglish, nullptr},
      {"en", Dword(1), kLanguageChinese, nullptr},
      {"-1", Dword(1), kLanguageChinese, nullptr},
      {"1 ", Dword(0), kLanguageEnglish, nullptr},
      {" 1", Dword(0), kLanguageEnglish, nullptr},
      {"01", Dword(0), kLanguageEnglish, nullptr},
      {"1 0", Dword(0), kLanguageEnglish, nullptr},
      {"", Dword(257), kLanguageChinese, nullptr},
      {"", Dword(0x0300), kLanguageEnglish, nullptr},
      {"", chineseString, kLanguageEnglish, "Failed to get register key: Language"},
      {"", noValue, kLanguageEnglish, "Failed to get register key: Language"},
      {"", damaged, kLanguageEnglish, "Failed to create the registry!\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("line \"") + c.line + "\", case " + std::to_string(&c - cases));
    testing::TempFolder folder;
    FileRegistry registry(folder.Path());
    std::unique_ptr<RegKey> key;
    if (c.stored) {
      registry.CreateKey(RegRoot::LocalMachine, kGlobalSettingsKey, RegAccess::AllAccess, key, {});
      SetDwordValue(*key, kLanguageValue, 1);
      c.stored(registry, *key);
    }
    std::vector<std::string> shown;
    const auto start = [&] {
      return LanguageCodeForStart(c.line, kInitialLanguageCode, registry,
                                  [&](const std::string& text, const std::string&, unsigned) {
                                    shown.push_back(text);
                                    return 0;
                                  });
    };
    EXPECT_EQ(start(), c.code);
    ASSERT_EQ(shown.size(), c.message ? 1u : 0u);
    // A damaged store's message names its file.
    const std::string store = registry.StorePath(RegRoot::LocalMachine).string();
    if (c.message) {
      EXPECT_TRUE(shown[0].starts_with(c.message)) << shown[0];
      const bool namesStore = shown[0].find(store) != std::string::npos;
      EXPECT_TRUE(namesStore || !shown[0].starts_with("Failed to create")) << shown[0];
    }
    // A line of exactly 1 leaves the store alone; the first other start writes
    // the initial code, which the next start then reads.
    if (!c.stored) {
      EXPECT_EQ(std::filesystem::exists(store), c.line[0] == '\0');
      EXPECT_EQ(c.line[0] == '\0' ? start() : 2, 2);
    }
  }
  EXPECT_EQ(JoinCommandLine({"1", ""}), "1 ");
}

}  // namespace
}  // namespace orvelle
