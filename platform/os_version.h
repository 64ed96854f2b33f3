#pragma once
// The operating system's version in GetVersionExA's terms. Each program maps it
// to its own version class; on Linux the answer is "other platform". Windows
// is asked through RtlGetVersion, since GetVersionExA reports Windows 8 (6.2)
// on Windows 10 and 11 to a program without a compatibility manifest.

#include <cstdint>

namespace orvelle {

struct OsVersionInfo {
  // VER_PLATFORM_WIN32_WINDOWS (1) for the 9x family, VER_PLATFORM_WIN32_NT
  // (2) for the NT family; kVerPlatformOther anywhere else.
  uint32_t platformId = 0;
  uint32_t major = 0;
  uint32_t minor = 0;
};

inline constexpr uint32_t kVerPlatformWin9x = 1;
inline constexpr uint32_t kVerPlatformNt = 2;
inline constexpr uint32_t kVerPlatformOther = 0xFFFF;

class OsVersion {
 public:
  virtual ~OsVersion() = default;
  // False when the query fails.
  virtual bool Query(OsVersionInfo& info) const = 0;
};

// The running system.
const OsVersion& SystemOsVersion();

// A fixed answer, for tests and for trying a program as another system would
// run it.
class FixedOsVersion : public OsVersion {
 public:
  explicit FixedOsVersion(OsVersionInfo info, bool succeeds = true)
      : info_(info), succeeds_(succeeds) {}
  bool Query(OsVersionInfo& info) const override {
    if (succeeds_) info = info_;
    return succeeds_;
  }

 private:
  OsVersionInfo info_;
  bool succeeds_;
};

}  // namespace orvelle
