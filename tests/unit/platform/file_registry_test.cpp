#include "platform/file_registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orvelle {
namespace {

namespace fs = std::filesystem;

constexpr const char* kGlobal = "Software\\Orvelle\\GlobalSettings";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class FileRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "orvelle-reg-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::unique_ptr<RegKey> Create(FileRegistry& reg, RegAccess access = RegAccess::AllAccess,
                                 bool* created = nullptr) {
    std::unique_ptr<RegKey> key;
    EXPECT_EQ(reg.CreateKey(RegRoot::LocalMachine, kGlobal, access, key, created),
              RegStatus::Success);
    return key;
  }

  fs::path folder_;
};

TEST_F(FileRegistryTest, CreateReportsWhetherTheKeyIsNewAndMakesItsParents) {
  FileRegistry reg(folder_);
  std::unique_ptr<RegKey> key;
  EXPECT_EQ(reg.OpenKey(RegRoot::LocalMachine, kGlobal, RegAccess::Read, key),
            RegStatus::FileNotFound);

  bool created = false;
  Create(reg, RegAccess::AllAccess, &created);
  EXPECT_TRUE(created);
  Create(reg, RegAccess::AllAccess, &created);
  EXPECT_FALSE(created);
  EXPECT_EQ(reg.OpenKey(RegRoot::LocalMachine, "software\\ORVELLE", RegAccess::Read, key),
            RegStatus::Success);
  // The roots are separate stores.
  EXPECT_EQ(reg.OpenKey(RegRoot::CurrentUser, kGlobal, RegAccess::Read, key),
            RegStatus::FileNotFound);
  EXPECT_EQ(reg.CreateKey(RegRoot::LocalMachine, "A\\\\B", RegAccess::Read, key, nullptr),
            RegStatus::InvalidParameter);
}

TEST_F(FileRegistryTest, QueryFillsACallerSizedBufferOrAsksForMore) {
  FileRegistry reg(folder_);
  auto key = Create(reg);
  ASSERT_EQ(SetDwordValue(*key, "Language", 257), RegStatus::Success);
  ASSERT_EQ(SetStringValue(*key, "Text", "Chinese"), RegStatus::Success);
  const uint8_t blob[] = {9, 8, 7};
  ASSERT_EQ(key->SetValue("Blob", RegType::Binary, blob), RegStatus::Success);

  uint8_t buf[4] = {};
  RegType type = RegType::None;
  size_t size = sizeof buf;
  EXPECT_EQ(key->QueryValue("language", &type, buf, &size), RegStatus::Success);
  EXPECT_EQ(type, RegType::Dword);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(buf[0], 1);  // low byte first, as the registry stores a DWORD
  EXPECT_EQ(buf[1], 1);

  // A string of seven letters and its terminator does not fit four bytes.
  uint8_t untouched[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  EXPECT_EQ(key->QueryValue("Text", &type, untouched, &size), RegStatus::MoreData);
  EXPECT_EQ(type, RegType::String);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(untouched[0], 0xAA);

  EXPECT_EQ(key->QueryValue("Blob", &type, std::span<uint8_t>(), &size), RegStatus::Success);
  EXPECT_EQ(type, RegType::Binary);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(key->QueryValue("Missing", &type, buf, &size), RegStatus::FileNotFound);

  EXPECT_EQ(key->DeleteValue("TEXT"), RegStatus::Success);
  EXPECT_EQ(key->DeleteValue("Text"), RegStatus::FileNotFound);
  EXPECT_EQ(key->QueryValue("Text", &type, buf, &size), RegStatus::FileNotFound);
}

TEST_F(FileRegistryTest, KeysKeepTheRightsTheyWereOpenedWith) {
  FileRegistry reg(folder_);
  auto readOnly = Create(reg, RegAccess::Read);
  EXPECT_EQ(SetDwordValue(*readOnly, "Language", 1), RegStatus::AccessDenied);
  auto writeOnly = Create(reg, RegAccess::Write);
  uint8_t buf[4];
  size_t size = sizeof buf;
  EXPECT_EQ(writeOnly->QueryValue("Language", nullptr, buf, &size), RegStatus::AccessDenied);
}

TEST_F(FileRegistryTest, StoreIsReadableTextSharedBetweenObjects) {
  FileRegistry first(folder_);
  FileRegistry second(folder_);
  auto key = Create(first);
  ASSERT_EQ(SetDwordValue(*key, "Language", 2), RegStatus::Success);

  auto other = Create(second);
  uint8_t buf[4] = {};
  size_t size = sizeof buf;
  EXPECT_EQ(other->QueryValue("Language", nullptr, buf, &size), RegStatus::Success);
  EXPECT_EQ(buf[0], 2);

  const std::string text = ReadFile(first.StorePath(RegRoot::LocalMachine));
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Orvelle\\GlobalSettings]\n"
                      "\"Language\"=dword:00000002\n"),
            std::string::npos)
      << text;
}

TEST_F(FileRegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kWriters = 2;
  constexpr int kValuesEach = 100;
  {
    FileRegistry reg(folder_);
    Create(reg);
  }
  pid_t children[kWriters];
  for (int w = 0; w < kWriters; ++w) {
    children[w] = ::fork();
    ASSERT_GE(children[w], 0);
    if (children[w] == 0) {
      FileRegistry reg(folder_);
      std::unique_ptr<RegKey> key;
      bool ok = reg.CreateKey(RegRoot::LocalMachine, kGlobal, RegAccess::AllAccess, key, nullptr) ==
                RegStatus::Success;
      for (int i = 0; ok && i < kValuesEach; ++i) {
        std::string name = "W" + std::to_string(w) + "V" + std::to_string(i);
        ok = SetDwordValue(*key, name, static_cast<uint32_t>(i)) == RegStatus::Success;
      }
      ::_exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  FileRegistry reg(folder_);
  auto key = Create(reg);
  for (int w = 0; w < kWriters; ++w) {
    for (int i = 0; i < kValuesEach; ++i) {
      std::string name = "W" + std::to_string(w) + "V" + std::to_string(i);
      uint8_t buf[4] = {};
      size_t size = sizeof buf;
      ASSERT_EQ(key->QueryValue(name, nullptr, buf, &size), RegStatus::Success) << name;
      EXPECT_EQ(buf[0], static_cast<uint8_t>(i));
    }
  }
}

TEST_F(FileRegistryTest, DamagedFileIsReportedKeptAsideAndNeverWrittenOver) {
  FileRegistry reg(folder_);
  const fs::path store = reg.StorePath(RegRoot::LocalMachine);
  const std::string damaged =
      "[HKEY_LOCAL_MACHINE\\Software\\Orvelle\\GlobalSettings]\n"
      "\"Language\"=dword:0000\n";
  std::ofstream(store, std::ios::binary) << damaged;

  std::unique_ptr<RegKey> key;
  bool created = false;
  EXPECT_EQ(reg.CreateKey(RegRoot::LocalMachine, kGlobal, RegAccess::AllAccess, key, &created),
            RegStatus::RegistryCorrupt);
  const std::string message = reg.LastErrorText();
  EXPECT_NE(message.find(store.string()), std::string::npos) << message;
  EXPECT_NE(message.find("line 2"), std::string::npos) << message;

  std::vector<fs::path> copies;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    if (entry.path().filename().string().starts_with("HKEY_LOCAL_MACHINE.reg.damaged-")) {
      copies.push_back(entry.path());
    }
  }
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(ReadFile(copies[0]), damaged);
  EXPECT_NE(message.find(copies[0].string()), std::string::npos) << message;

  // Later attempts fail the same way, make no second copy, and change nothing.
  EXPECT_EQ(reg.OpenKey(RegRoot::LocalMachine, kGlobal, RegAccess::Read, key),
            RegStatus::RegistryCorrupt);
  EXPECT_EQ(
      reg.CreateKey(RegRoot::LocalMachine, "Software\\Other", RegAccess::AllAccess, key, nullptr),
      RegStatus::RegistryCorrupt);
  EXPECT_EQ(ReadFile(store), damaged);
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    files += entry.path().filename().string().find(".damaged-") != std::string::npos;
  }
  EXPECT_EQ(files, 1u);

  // The other root is unaffected.
  EXPECT_EQ(reg.CreateKey(RegRoot::CurrentUser, kGlobal, RegAccess::AllAccess, key, nullptr),
            RegStatus::Success);
}

TEST_F(FileRegistryTest, UnwritableFolderIsReportedAsAccessDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
  FileRegistry reg(folder_);
  auto key = Create(reg);
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(SetDwordValue(*key, "Language", 1), RegStatus::AccessDenied);
  EXPECT_FALSE(reg.LastErrorText().empty());
  // Reading still works, and the key that exists opens without a change.
  bool created = true;
  Create(reg, RegAccess::AllAccess, &created);
  EXPECT_FALSE(created);
  fs::permissions(folder_, fs::perms::owner_all);
}

TEST(FileRegistryFolder, FollowsTheEnvironment) {
  ::setenv("ORVELLE_CONFIG_DIR", "/x/orvelle-config", 1);
  EXPECT_EQ(FileRegistry::DefaultFolder(), fs::path("/x/orvelle-config"));
  ::unsetenv("ORVELLE_CONFIG_DIR");
  ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
  EXPECT_EQ(FileRegistry::DefaultFolder(), fs::path("/x/config/orvelle"));
  ::setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored, as XDG says
  ::setenv("HOME", "/x/home", 1);
  EXPECT_EQ(FileRegistry::DefaultFolder(), fs::path("/x/home/.config/orvelle"));
}

}  // namespace
}  // namespace orvelle
