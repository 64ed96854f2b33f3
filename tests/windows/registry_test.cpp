// The settings store on the Windows registry itself.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/registry.h"
#include "shell/core/language_choice.h"
#include "tests/support/platform_store_semantics.h"
#include "tests/support/wine.h"

namespace orvelle {
namespace {

TEST(WindowsRegistry, KeepsTheStoresSemantics) {
  const std::string path = "Software\\OrvelleTests\\" + std::to_string(::GetCurrentProcessId());
  testing::ExpectStoreSemantics(*OpenSystemRegistry(), RegRoot::CurrentUser, path);
  // Windows' own readers (its shell, for a log-on entry) read UTF-16.
  const std::string key = path + "\\Key";
  wchar_t text[64] = {};
  DWORD size = sizeof text;
  EXPECT_EQ(::RegGetValueW(HKEY_CURRENT_USER, std::wstring(key.begin(), key.end()).c_str(), L"Text",
                           RRF_RT_REG_SZ, nullptr, text, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(text), L"D:\\软件\\Orvelle");
  ::RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
}

// The programs' own key, only in Wine's throw-away prefix, never on a machine
// whose settings these are. What the setting means is the language choice's
// own test; here, that the user's root is written and the machine's is read.
TEST(WindowsLanguageSetting, TheUsersRootIsWrittenAndTheMachinesGivesTheDefault) {
  if (!testing::UnderWine()) GTEST_SKIP() << "changes the machine's own settings";
  constexpr char kKey[] = "Software\\Orvelle\\GlobalSettings";
  const auto stored = [&](HKEY root) {
    DWORD value = 0, size = sizeof value;
    const LONG rc =
        ::RegGetValueA(root, kKey, "Language", RRF_RT_REG_DWORD, nullptr, &value, &size);
    return rc == ERROR_SUCCESS ? static_cast<long>(value) : -1L;
  };
  const auto start = [] {
    int code = 2;
    EXPECT_TRUE(
        ReadLanguageSetting(*OpenSystemRegistry(), code,
                            [](const std::string&, const std::string&, unsigned) { return 0; }));
    return code;
  };
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    ::RegDeleteTreeA(root, kKey);
  EXPECT_EQ(start(), 2);
  EXPECT_EQ(std::pair(stored(HKEY_CURRENT_USER), stored(HKEY_LOCAL_MACHINE)), std::pair(2L, -1L));

  // As the installer writes the language it was run in.
  ::RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
  DWORD chinese = 1;
  ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kKey, "Language", REG_DWORD, &chinese, sizeof chinese);
  EXPECT_EQ(start(), 1);
  EXPECT_EQ(start(), 1);
  EXPECT_EQ(stored(HKEY_CURRENT_USER), -1L) << "the user has chosen nothing yet";
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
    ::RegDeleteTreeA(root, kKey);
}

}  // namespace
}  // namespace orvelle
