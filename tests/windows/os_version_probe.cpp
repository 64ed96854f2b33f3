// Reports the Windows version as the platform layer sees it, in its exit code
// (platform * 10000 + major * 100 + minor), for a test that sets the version
// Wine reports to this program before starting it.
#include "platform/os_version.h"

int main() {
  orvelle::OsVersionInfo info;
  if (!orvelle::SystemOsVersion().Query(info)) return 1;
  return static_cast<int>(info.platformId * 10000 + info.major * 100 + info.minor);
}
