// The version classes as the programs compute them on the system itself: under
// Wine, with the version Wine reports set per program.
#include <gtest/gtest.h>

#include <string>

#include "calibration/core/start_up.h"
#include "console/core/config_page.h"
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

TEST(WindowsVersion, ClassesFollowTheVersionWineReports) {
  if (!testing::UnderWine()) GTEST_SKIP() << "needs Wine to choose the reported version";
  struct Case {
    const char* wineVersion;
    uint32_t major, minor;
    int calibrationClass;  // 6 from Windows 7 on
    int consoleClass;      // 6 on Windows 7 only, the one with touch settings
  };
  const Case cases[] = {
      {"winxp64", 5, 2, 4, 4},
      {"win7", 6, 1, 6, 6},
      {"win8", 6, 2, 6, 1},
      {"win10", 10, 0, 6, 1},
  };
  std::unique_ptr<Registry> registry = OpenSystemRegistry();
  std::unique_ptr<RegKey> key;
  ASSERT_EQ(registry->CreateKey(RegRoot::CurrentUser,
                                std::string("Software\\Wine\\AppDefaults\\") + kProbe,
                                RegAccess::AllAccess, key, nullptr),
            RegStatus::Success);
  for (const Case& c : cases) {
    ASSERT_EQ(SetStringValue(*key, "Version", c.wineVersion), RegStatus::Success);
    const long code = RunProbe();
    const OsVersionInfo info{static_cast<uint32_t>(code / 10000),
                             static_cast<uint32_t>(code / 100 % 100),
                             static_cast<uint32_t>(code % 100)};
    EXPECT_EQ(info.platformId, kVerPlatformNt) << c.wineVersion << " exit " << code;
    EXPECT_EQ(info.major, c.major) << c.wineVersion;
    EXPECT_EQ(info.minor, c.minor) << c.wineVersion;
    EXPECT_EQ(OsClassFor(static_cast<int>(info.platformId), static_cast<int>(info.major),
                         static_cast<int>(info.minor)),
              c.calibrationClass)
        << c.wineVersion;
    EXPECT_EQ(console::WindowsClass(FixedOsVersion(info)), c.consoleClass) << c.wineVersion;
  }
  key->DeleteValue("Version");
}

}  // namespace
}  // namespace orvelle
