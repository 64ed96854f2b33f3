// The console's Windows services on the system itself: starting the
// calibration program with the failure codes the page reports and seeing it
// end, and the Run
// value that starts the console at log-on.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "console/core/logon_entry.h"
#include "console/core/program_launch.h"
#include "platform/registry.h"
#include "tests/support/wine.h"

namespace orvelle::console {
namespace {

namespace fs = std::filesystem;

TEST(WindowsLaunch, FailuresAreTheOnesThePageNames) {
  const fs::path own = orvelle::testing::OwnFolder();
  const fs::path text =
      fs::temp_directory_path() /
      ("orvelle-not-a-program-" + std::to_string(::GetCurrentProcessId()) + ".exe");
  { std::ofstream(text) << "not a program"; }
  struct Case {
    fs::path program;
    LaunchResult result;
  };
  const Case cases[] = {
      {own / "os_version_probe.exe", LaunchResult::Started},
      {own / "missing.exe", LaunchResult::FileNotFound},
      {own / "gone" / "Tessaly.exe", LaunchResult::FolderNotFound},
      {text, LaunchResult::NotExecutable},
      {{}, LaunchResult::FileNotFound},
  };
  for (const Case& c : cases) {
    StartedProgram started;
    EXPECT_EQ(StartProgram(c.program, {}, started), c.result) << c.program;
    EXPECT_EQ(started.Id() != 0, c.result == LaunchResult::Started) << c.program;
    // The probe ends by itself; the wait on its handle sees that.
    const DWORD deadline = ::GetTickCount() + 20000;
    while (!started.HasEnded() && ::GetTickCount() < deadline)
      ::Sleep(10);
    EXPECT_TRUE(started.HasEnded()) << c.program;
  }
  fs::remove(text);
}

// The user's Run key, only in Wine's throw-away prefix. The quoting is the
// log-on entry's own test; here, that the system entry is the Run value.
TEST(WindowsLogon, TheSystemEntryIsTheUsersRunValue) {
  if (!orvelle::testing::UnderWine()) GTEST_SKIP() << "changes the user's log-on programs";
  auto registry = OpenSystemRegistry();
  auto entry = MakeSystemLogonEntry(*registry);
  ASSERT_EQ(entry->Add(R"(C:\Program Files\Orvelle\OrvelleConsole.exe)"), LogonResult::Done);
  char value[MAX_PATH] = {};
  DWORD size = sizeof value;
  ASSERT_EQ(::RegGetValueA(HKEY_CURRENT_USER, kRunKey, kLogonEntryName, RRF_RT_REG_SZ, nullptr,
                           value, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(value, R"("C:\Program Files\Orvelle\OrvelleConsole.exe")");
  EXPECT_EQ(entry->Remove(), LogonResult::Done);
  size = sizeof value;
  EXPECT_EQ(::RegGetValueA(HKEY_CURRENT_USER, kRunKey, kLogonEntryName, RRF_RT_REG_SZ, nullptr,
                           value, &size),
            ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace orvelle::console
