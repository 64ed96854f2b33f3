#include "platform/file_registry.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <thread>
#include <tuple>

#include "platform/reg_text.h"
#include "platform/user_folders.h"
#include "tests/support/platform_store_semantics.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

namespace orvelle {
namespace {

namespace fs = std::filesystem;

constexpr const char* kGlobal = "Software\\Orvelle\\GlobalSettings";
constexpr const char* kStoredText =
    "[HKEY_LOCAL_MACHINE\\Software\\Orvelle\\GlobalSettings]\n\"Language\"=dword:00000001\n";

std::string ReadFile(const fs::path& path) {
  if (!fs::is_regular_file(path)) return {};  // never wait on a FIFO
  std::stringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

// Runs `body` in a child process, which exits with 0 when it returns true.
pid_t InChild(const std::function<bool()>& body) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body() ? 0 : 1);
  return child;
}

std::unique_ptr<RegKey> Global(FileRegistry& reg, RegStatus* status = nullptr) {
  std::unique_ptr<RegKey> key;
  const RegStatus s = reg.CreateKey(RegRoot::LocalMachine, kGlobal, RegAccess::AllAccess, key, {});
  if (status) *status = s;
  return key;
}

uint8_t LowByte(RegKey& key, const std::string& name) {
  uint8_t buf[4] = {0xEE};
  size_t size = sizeof buf;
  EXPECT_EQ(key.QueryValue(name, nullptr, buf, &size), RegStatus::Success) << name;
  return buf[0];
}

// The store's other files in `folder`: kept-aside damaged copies, or the rest.
std::vector<std::string> StoreFiles(const fs::path& folder, bool damaged = false) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    const bool isCopy = name.find(".damaged-") != std::string::npos;
    if (name.starts_with("HKEY_LOCAL_MACHINE.reg.") && isCopy == damaged) names.push_back(name);
  }
  return names;
}

class FileRegistryTest : public ::testing::Test {
 protected:
  testing::TempFolder temp_;
  const fs::path folder_ = temp_.Path();
  FileRegistry reg_{folder_};
  const fs::path store_ = reg_.StorePath(RegRoot::LocalMachine);
};

TEST_F(FileRegistryTest, KeepsTheStoresSemantics) {
  testing::ExpectStoreSemantics(reg_, RegRoot::LocalMachine, "Software\\Orvelle");
  std::unique_ptr<RegKey> key;
  EXPECT_EQ(reg_.CreateKey(RegRoot::LocalMachine, "A\\\\B", RegAccess::Read, key, nullptr),
            RegStatus::InvalidParameter);
}

TEST_F(FileRegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  const auto name = [](int w, int i) { return "W" + std::to_string(w) + "V" + std::to_string(i); };
  pid_t children[2];
  for (int w = 0; w < 2; ++w) {
    children[w] = InChild([&] {
      FileRegistry reg(folder_);
      auto key = Global(reg);
      for (int i = 0; key && i < 100; ++i)
        if (SetDwordValue(*key, name(w, i), static_cast<uint32_t>(i)) != RegStatus::Success)
          return false;
      return key != nullptr;
    });
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  auto key = Global(reg_);
  for (int w = 0; w < 2; ++w)
    for (int i = 0; i < 100; ++i)
      ASSERT_EQ(LowByte(*key, name(w, i)), i) << name(w, i);
}

TEST_F(FileRegistryTest, DamagedFileIsReportedKeptAsideAndNeverWrittenOver) {
  const std::string damaged =
      "[HKEY_LOCAL_MACHINE\\Software\\Orvelle\\GlobalSettings]\n\"Language\"=dword:0000\n";
  std::ofstream(store_, std::ios::binary) << damaged;
  RegStatus status;
  Global(reg_, &status);
  EXPECT_EQ(status, RegStatus::RegistryCorrupt);
  const std::string message = reg_.LastErrorText();
  // Later attempts fail the same way, make no second copy, and change nothing.
  std::unique_ptr<RegKey> key;
  EXPECT_EQ(reg_.OpenKey(RegRoot::LocalMachine, "Software\\Other", RegAccess::Read, key),
            RegStatus::RegistryCorrupt);
  Global(reg_, &status);
  EXPECT_EQ(status, RegStatus::RegistryCorrupt);
  EXPECT_EQ(ReadFile(store_), damaged);
  const std::vector<std::string> copies = StoreFiles(folder_, true);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_TRUE(copies[0].starts_with("HKEY_LOCAL_MACHINE.reg.damaged-"));
  EXPECT_EQ(ReadFile(folder_ / copies[0]), damaged);
  for (const std::string& part :
       {store_.string(), (folder_ / copies[0]).string(), std::string("line 2")})
    EXPECT_NE(message.find(part), std::string::npos) << message;
  EXPECT_EQ(reg_.CreateKey(RegRoot::CurrentUser, kGlobal, RegAccess::AllAccess, key, nullptr),
            RegStatus::Success);
}

TEST_F(FileRegistryTest, UnwritableFolderIsReportedAsAccessDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
  auto key = Global(reg_);
  fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(SetDwordValue(*key, "Language", 1), RegStatus::AccessDenied);
  EXPECT_FALSE(reg_.LastErrorText().empty());
  // Reading still works, and the key that exists opens without a change.
  bool created = true;
  EXPECT_EQ(reg_.CreateKey(RegRoot::LocalMachine, kGlobal, RegAccess::AllAccess, key, &created),
            RegStatus::Success);
  EXPECT_FALSE(created);
  fs::permissions(folder_, fs::perms::owner_all);
}

// What the writer refuses to replace is reported as the store's own failure,
// naming the file, and left as it was.
TEST(FileRegistryStore, WhatCannotBeReplacedIsReportedAndLeftAlone) {
  using Arrange = std::function<void(const fs::path& store)>;
  // The status of setting a value, and part of LastErrorText.
  const std::tuple<const char*, Arrange, RegStatus, const char*> cases[] = {
      {"fifo", [](auto& s) { ::mkfifo(s.c_str(), 0600); }, RegStatus::RegistryCorrupt,
       "not a regular file"},
      {"read-only file",
       [](auto& s) {
         std::ofstream(s) << kStoredText;
         fs::permissions(s, fs::perms::owner_read);
       },
       RegStatus::AccessDenied, "read-only"},
  };
  for (const auto& [name, arrange, expected, message] : cases) {
    SCOPED_TRACE(name);
    testing::TempFolder temp;
    FileRegistry reg(temp.Path());
    const fs::path store = reg.StorePath(RegRoot::LocalMachine);
    arrange(store);
    const std::string text = ReadFile(store);
    ::alarm(20);  // a store operation that blocks ends the test instead of hanging it
    RegStatus status;
    auto key = Global(reg, &status);
    if (status == RegStatus::Success) status = SetDwordValue(*key, "Probe", 7);
    ::alarm(0);
    EXPECT_EQ(status, expected);
    EXPECT_NE(reg.LastErrorText().find(message), std::string::npos) << reg.LastErrorText();
    EXPECT_NE(reg.LastErrorText().find(store.string()), std::string::npos);
    EXPECT_EQ(ReadFile(store), text);
  }
}

TEST_F(FileRegistryTest, AChangeMadeByAnotherWriterIsSeen) {
  std::ofstream(store_) << kStoredText;
  auto key = Global(reg_);
  for (uint8_t language : {1, 2, 3}) {
    // Rewritten in place, same size, dated as if long ago: only the times differ.
    std::string text = kStoredText;
    text[text.size() - 2] = static_cast<char>('0' + language);
    std::fstream(store_, std::ios::in | std::ios::out | std::ios::binary) << text;
    const timespec old[2] = {{1000000 * language, 0}, {1000000 * language, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, store_.c_str(), old, 0), 0);
    EXPECT_EQ(LowByte(*key, "Language"), language);
  }
}

TEST_F(FileRegistryTest, KilledWritersLeaveAParsableStoreAndNothingBehind) {
  SetDwordValue(*Global(reg_), "Counter", 0);
  std::mt19937 random(10);
  std::uniform_int_distribution<int> delayUs(0, 4000);
  for (int kill = 0; kill < 200; ++kill) {
    const pid_t child = InChild([&] {
      FileRegistry reg(folder_);
      auto key = Global(reg);
      for (uint32_t i = 0; key; ++i) {
        SetDwordValue(*key, "Counter", i);
        SetStringValue(*key, "Padding", std::string(i % 4096, 'x'));
      }
      return false;
    });
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    RegDocument document;
    std::string why;
    ASSERT_TRUE(ParseRegText(ReadFile(store_), RegRoot::LocalMachine, document, why))
        << "after kill " << kill << ": " << why;
  }
  EXPECT_EQ(SetDwordValue(*Global(reg_), "Counter", 0), RegStatus::Success);
  EXPECT_TRUE(StoreFiles(folder_).empty());
}

TEST(FileRegistryFolder, FollowsTheEnvironmentAndNeverFallsBackToASharedPlace) {
  const testing::ScopedEnv restored{"ORVELLE_CONFIG_DIR", "XDG_CONFIG_HOME"};
  ::setenv("ORVELLE_CONFIG_DIR", "/x/orvelle-config", 1);
  EXPECT_EQ(FileRegistry::DefaultFolder(), fs::path("/x/orvelle-config"));
  ::unsetenv("ORVELLE_CONFIG_DIR");
  ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
  EXPECT_EQ(FileRegistry::DefaultFolder(), fs::path("/x/config/orvelle"));
  // XDG_CONFIG_HOME, HOME, the password database's home: the first absolute.
  const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
      {"/x/config", "/x/home", "/x/pw", "/x/config"},
      {"relative", "/x/home", "/x/pw", "/x/home/.config"},
      {nullptr, nullptr, "/x/pw", "/x/pw/.config"},
      {"", "relative", "/x/pw", "/x/pw/.config"},
      {nullptr, nullptr, nullptr, ""},
      {"relative", "relative", "", ""},
  };
  for (const auto& [xdg, home, passwdHome, expected] : cases)
    EXPECT_EQ(ConfigFolderFrom(xdg, home, passwdHome), fs::path(expected)) << expected;
  // Without a folder the store refuses, saying why, and writes nowhere.
  testing::TempFolder temp;
  const fs::path previous = fs::current_path();
  fs::current_path(temp.Path());
  FileRegistry reg{fs::path()};
  RegStatus status;
  Global(reg, &status);
  fs::current_path(previous);
  EXPECT_EQ(status, RegStatus::CantWrite);
  EXPECT_EQ(reg.LastErrorText(), kNoConfigFolderText);
  EXPECT_TRUE(fs::is_empty(temp.Path()));
}

}  // namespace
}  // namespace orvelle
