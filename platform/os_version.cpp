#include "platform/os_version.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace orvelle {

namespace {

class SystemVersion : public OsVersion {
 public:
  bool Query(OsVersionInfo& info) const override {
#ifdef _WIN32
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&version)) return false;
#pragma GCC diagnostic pop
    info.platformId = version.dwPlatformId;
    info.major = version.dwMajorVersion;
    info.minor = version.dwMinorVersion;
#else
    info = OsVersionInfo{kVerPlatformOther, 0, 0};
#endif
    return true;
  }
};

}  // namespace

const OsVersion& SystemOsVersion() {
  static const SystemVersion version;
  return version;
}

}  // namespace orvelle
