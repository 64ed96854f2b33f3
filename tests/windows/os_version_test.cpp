// The version the platform layer reports on the system itself: under Wine,
// with the version Wine reports set per program. The classes the programs make
// of it are their own tests'.
#include <gtest/gtest.h>

#include <string>

#include "platform/os_version.h"
#include "platform/registry.h"
#include "tests/support/wine.h"

namespace orvelle {
namespace {

constexpr char kProbe[] = "os_version_probe.exe";

// Starts the probe and returns its exit code, -1 when it could not run.
long RunProbe() {
  std::wstring commandLine = (testing::OwnFolder() / kProbe).wstring();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
    return -1;
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return static_cast<long>(code);
}

TEST(WindowsVersion, TheSystemIsAnNtWindows) {
  OsVersionInfo info;
  ASSERT_TRUE(SystemOsVersion().Query(info));
  EXPECT_EQ(info.platformId, kVerPlatformNt);
  EXPECT_GE(info.major, 5u);
}

TEST(WindowsVersion, FollowsTheVersionWineReports) {
  if (!testing::UnderWine()) GTEST_SKIP() << "needs Wine to choose the reported version";
  struct Case {
    const char* wineVersion;
    long major, minor;
  };
  const Case cases[] = {{"winxp64", 5, 2}, {"win7", 6, 1}, {"win8", 6, 2}, {"win10", 10, 0}};
  std::unique_ptr<Registry> registry = OpenSystemRegistry();
  std::unique_ptr<RegKey> key;
  ASSERT_EQ(registry->CreateKey(RegRoot::CurrentUser,
                                std::string("Software\\Wine\\AppDefaults\\") + kProbe,
                                RegAccess::AllAccess, key, nullptr),
            RegStatus::Success);
  for (const Case& c : cases) {
    ASSERT_EQ(SetStringValue(*key, "Version", c.wineVersion), RegStatus::Success);
    EXPECT_EQ(RunProbe(), long{kVerPlatformNt} * 10000 + c.major * 100 + c.minor) << c.wineVersion;
  }
  key->DeleteValue("Version");
}

}  // namespace
}  // namespace orvelle
