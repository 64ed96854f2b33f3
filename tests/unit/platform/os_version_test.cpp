#include "platform/os_version.h"

#include <gtest/gtest.h>

namespace orvelle {
namespace {

TEST(OsVersion, LinuxIsAnotherPlatformAndTestsCanPretend) {
  OsVersionInfo info;
  ASSERT_TRUE(SystemOsVersion().Query(info));
#ifndef _WIN32
  EXPECT_EQ(info.platformId, kVerPlatformOther);
#endif
  FixedOsVersion win7({kVerPlatformNt, 6, 1});
  ASSERT_TRUE(win7.Query(info));
  EXPECT_EQ(info.platformId, kVerPlatformNt);
  EXPECT_EQ(info.minor, 1u);
  EXPECT_FALSE(FixedOsVersion({kVerPlatformNt, 6, 1}, false).Query(info));
}

}  // namespace
}  // namespace orvelle
