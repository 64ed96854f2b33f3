// The settings store on the Windows registry itself: the semantics its callers
// rely on, on a scratch key of the test's own, and the language setting read
// through it as the programs read it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "shell/language_choice.h"
#include "tests/support/wine.h"

namespace orvelle {
namespace {

class WindowsRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = "Software\\OrvelleTests\\" + std::to_string(::GetCurrentProcessId());
    registry_ = OpenSystemRegistry();
  }
  void TearDown() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str()); }

  std::unique_ptr<RegKey> Scratch(bool* created = nullptr) {
    std::unique_ptr<RegKey> key;
    EXPECT_EQ(registry_->CreateKey(RegRoot::CurrentUser, path_ + "\\Key", RegAccess::AllAccess, key,
                                   created),
              RegStatus::Success);
    return key;
  }

  std::string path_;
  std::unique_ptr<Registry> registry_;
};

TEST_F(WindowsRegistryTest, CreateKeyTellsWhetherItCreatedTheKeyAndItsParents) {
  std::unique_ptr<RegKey> key;
  EXPECT_EQ(registry_->OpenKey(RegRoot::CurrentUser, path_, RegAccess::Read, key),
            RegStatus::FileNotFound);
  bool created = false;
  ASSERT_TRUE(Scratch(&created));
  EXPECT_TRUE(created);
  ASSERT_TRUE(Scratch(&created));
  EXPECT_FALSE(created);
  EXPECT_EQ(registry_->OpenKey(RegRoot::CurrentUser, path_, RegAccess::Read, key),
            RegStatus::Success);
}

TEST_F(WindowsRegistryTest, ReadsIntoTheCallersBufferOnlyWhenTheValueFits) {
  const std::vector<uint8_t> dword = {0x01, 0x01, 0x00, 0x00};
  const std::string text = "longer than four";  // stored with its terminator
  const std::vector<uint8_t> two = {0xAB, 0xCD};
  struct Case {
    const char* name;
    RegType type;
    std::vector<uint8_t> stored;
    size_t buffer;
    RegStatus status;
  };
  const Case cases[] = {
      {"Dword", RegType::Dword, dword, 4, RegStatus::Success},
      {"String", RegType::String, {text.begin(), text.end() + 1}, 4, RegStatus::MoreData},
      {"Short", RegType::Binary, two, 4, RegStatus::Success},
      {"SizeOnly", RegType::Binary, two, 0, RegStatus::Success},
  };
  auto key = Scratch();
  ASSERT_TRUE(key);
  for (const Case& c : cases) {
    ASSERT_EQ(key->SetValue(c.name, c.type, c.stored), RegStatus::Success) << c.name;
    std::vector<uint8_t> buffer(c.buffer, 0xEE);
    RegType type = RegType::None;
    size_t size = 0;
    EXPECT_EQ(key->QueryValue(c.name, &type, buffer, &size), c.status) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(size, c.stored.size()) << c.name;
    std::vector<uint8_t> expected(c.buffer, 0xEE);
    if (c.status == RegStatus::Success)
      std::copy(c.stored.begin(), c.stored.begin() + std::min(c.buffer, c.stored.size()),
                expected.begin());
    EXPECT_EQ(buffer, expected) << c.name;  // a short buffer is left as it was
  }
  uint8_t buffer[4];
  EXPECT_EQ(key->QueryValue("Missing", nullptr, buffer, nullptr), RegStatus::FileNotFound);
  EXPECT_EQ(key->DeleteValue("Dword"), RegStatus::Success);
  EXPECT_EQ(key->DeleteValue("Dword"), RegStatus::FileNotFound);
}

// The programs' own key under HKEY_LOCAL_MACHINE: only in Wine's throw-away
// prefix, never on a machine whose settings these are.
TEST(WindowsLanguageSetting, CreatedOnceThenOnlyTheLowByteCounts) {
  if (!testing::UnderWine()) GTEST_SKIP() << "changes the machine's own settings";
  constexpr char kKey[] = "Software\\Orvelle\\GlobalSettings";
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
  auto registry = OpenSystemRegistry();
  std::vector<std::string> shown;
  const StartupMessageFn show = [&](const std::string& text, const std::string&, unsigned) {
    shown.push_back(text);
    return 0;
  };

  int code = 2;
  ASSERT_TRUE(ReadLanguageSetting(*registry, code, show));
  std::unique_ptr<RegKey> key;
  ASSERT_EQ(registry->OpenKey(RegRoot::LocalMachine, kKey, RegAccess::AllAccess, key),
            RegStatus::Success);
  uint8_t stored[4] = {};
  size_t size = 0;
  ASSERT_EQ(key->QueryValue("Language", nullptr, stored, &size), RegStatus::Success);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(stored[0], 2);

  struct Case {
    const char* what;
    std::function<RegStatus(RegKey&)> store;
    bool read;
    int code;
  };
  const Case cases[] = {
      {"257", [](RegKey& k) { return SetDwordValue(k, "Language", 257); }, true, 1},
      {"0", [](RegKey& k) { return SetDwordValue(k, "Language", 0); }, true, 0},
      {"long string", [](RegKey& k) { return SetStringValue(k, "Language", "longer"); }, false, -1},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(c.store(*key), RegStatus::Success) << c.what;
    shown.clear();
    code = -1;
    EXPECT_EQ(ReadLanguageSetting(*registry, code, show), c.read) << c.what;
    if (c.read) {
      EXPECT_EQ(code, c.code) << c.what;
    }
    EXPECT_EQ(shown.empty(), c.read) << c.what;
  }
  key.reset();
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
}

}  // namespace
}  // namespace orvelle
