#include "platform/os_version.h"

#include <gtest/gtest.h>

namespace orvelle {
namespace {

TEST(OsVersion, LinuxIsAnotherPlatform) {
  OsVersionInfo info;
  ASSERT_TRUE(SystemOsVersion().Query(info));
#ifndef _WIN32
  EXPECT_EQ(info.platformId, kVerPlatformOther);
#endif
}

}  // namespace
}  // namespace orvelle
