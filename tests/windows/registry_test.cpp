// The settings store on the Windows registry itself.
#include <gtest/gtest.h>

#include <string>

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

// The programs' own key under HKEY_LOCAL_MACHINE: only in Wine's throw-away
// prefix, never on a machine whose settings these are. What the setting means
// is the language choice's own test; here, that it lands in the machine's root.
TEST(WindowsLanguageSetting, TheFirstStartWritesItUnderTheMachinesRoot) {
  if (!testing::UnderWine()) GTEST_SKIP() << "changes the machine's own settings";
  constexpr char kKey[] = "Software\\Orvelle\\GlobalSettings";
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
  int code = 2;
  ASSERT_TRUE(
      ReadLanguageSetting(*OpenSystemRegistry(), code,
                          [](const std::string&, const std::string&, unsigned) { return 0; }));
  DWORD stored = 0, size = sizeof stored;
  EXPECT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE, kKey, "Language", RRF_RT_REG_DWORD, nullptr, &stored,
                           &size),
            ERROR_SUCCESS);
  EXPECT_EQ(stored, 2u);
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
}

}  // namespace
}  // namespace orvelle
