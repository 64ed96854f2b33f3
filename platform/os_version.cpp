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
    // ntdll is in every process; looked up at run time because its import
    // library is not part of every toolchain.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto rtlGetVersion = ntdll ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(
                                           ::GetProcAddress(ntdll, "RtlGetVersion")))
                                     : nullptr;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!rtlGetVersion || rtlGetVersion(&version) != 0) return false;
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
