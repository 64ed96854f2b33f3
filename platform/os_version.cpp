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
    // Deprecated, but it is the query whose numbers the programs were written
    // against.
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    if (!::GetVersionExA(&version)) return false;
#if defined(__GNUC__) && !defined(_MSC_VER)
#pragma GCC diagnostic pop
#endif
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
