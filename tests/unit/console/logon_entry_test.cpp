#include "console/core/logon_entry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/file_registry.h"
#include "platform/registry.h"
#include "tests/support/desktop_entry.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

namespace orvelle::console {
namespace {

namespace fs = std::filesystem;

TEST(AutostartEntry, ALauncherReadsBackTheProgramPathWhateverItHolds) {
  const std::string paths[] = {
      "/usr/bin/OrvelleConsole",
      "/opt/Orvelle Touch/bin/OrvelleConsole",
      "/home/ann/it's \"quoted\"/OrvelleConsole",
      "/home/ann/100% touch/OrvelleConsole",
      "/home/ann/back\\slash/$HOME/`cmd`/OrvelleConsole",
      "/home/ann/tab\there/new\nline/OrvelleConsole",
      "/home/ann/a;b&c|d<e>f*g?h#i(j)~k/OrvelleConsole",
  };
  testing::TempFolder folder;
  const auto entry = MakeAutostartEntry(fs::path(folder.Path()) / "autostart");
  for (const std::string& path : paths) {
    ASSERT_EQ(entry->Add(path), LogonResult::Done) << path;
    const auto keys = testing::ReadDesktopEntry(folder.File("autostart/OrvelleConsole.desktop"));
    EXPECT_EQ(keys.at("Type"), "Application");
    EXPECT_EQ(testing::ExecArguments(keys.at("Exec")), std::vector<std::string>{path})
        << keys.at("Exec");
  }
  // Written atomically: no temporary file stays beside the entry.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.File("autostart")), {}), 1);
}

TEST(AutostartEntry, RemovingIsDoneWhetherOrNotThereWasOneAndAnUnmakeableFolderFailsTheAdd) {
  testing::TempFolder folder;
  const auto entry = MakeAutostartEntry(folder.Path());
  EXPECT_EQ(entry->Remove(), LogonResult::Done);
  ASSERT_EQ(entry->Add("/usr/bin/OrvelleConsole"), LogonResult::Done);
  EXPECT_EQ(entry->Remove(), LogonResult::Done);
  EXPECT_FALSE(fs::exists(folder.File("OrvelleConsole.desktop")));
  EXPECT_EQ(entry->Remove(), LogonResult::Done);
  std::ofstream(folder.File("file")) << "x";
  EXPECT_EQ(MakeAutostartEntry(folder.File("file"))->Add("/bin/x"), LogonResult::Failed);
  // Without HOME the folder comes from the password database; without any
  // folder nothing relative to the current one is written or removed.
  {
    const testing::ScopedEnv restored{"HOME", "XDG_CONFIG_HOME"};
    ::unsetenv("HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_TRUE(DefaultAutostartFolder().is_absolute()) << DefaultAutostartFolder();
  }
  const fs::path previous = fs::current_path();
  fs::current_path(folder.Path());
  std::ofstream("OrvelleConsole.desktop") << "someone else's";
  const auto nowhere = MakeAutostartEntry(fs::path());
  EXPECT_EQ(nowhere->Add("/bin/x"), LogonResult::Failed);
  EXPECT_EQ(nowhere->Remove(), LogonResult::Done);
  fs::current_path(previous);
  EXPECT_TRUE(fs::exists(folder.File("OrvelleConsole.desktop")));
}

// The user's own Run key, made for a profile that lacks it.
TEST(RunValueEntry, PathsWithBlanksAreQuotedInTheUsersRunKey) {
  testing::TempFolder folder;
  FileRegistry registry(folder.Path());
  const auto entry = MakeRunValueEntry(registry);
  EXPECT_EQ(entry->Remove(), LogonResult::Unavailable);
  ASSERT_EQ(entry->Add("C:\\x.exe"), LogonResult::Done);
  std::unique_ptr<RegKey> key;
  ASSERT_EQ(registry.OpenKey(RegRoot::CurrentUser, kRunKey, RegAccess::Read, key),
            RegStatus::Success);
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Orvelle\\OrvelleConsole.exe", "C:\\Orvelle\\OrvelleConsole.exe"},
      {"C:\\Program Files\\Orvelle\\OrvelleConsole.exe",
       "\"C:\\Program Files\\Orvelle\\OrvelleConsole.exe\""},
  };
  for (const auto& [path, stored] : cases) {
    ASSERT_EQ(entry->Add(path), LogonResult::Done);
    char value[260] = {};
    size_t size = sizeof value;
    ASSERT_EQ(key->QueryValue(kLogonEntryName, nullptr,
                              {reinterpret_cast<uint8_t*>(value), sizeof value}, &size),
              RegStatus::Success);
    EXPECT_STREQ(value, stored);
  }
  EXPECT_EQ(entry->Remove(), LogonResult::Done);
  EXPECT_EQ(entry->Remove(), LogonResult::Done);  // none left: the wanted state holds
}

}  // namespace
}  // namespace orvelle::console
