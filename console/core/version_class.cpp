#include "console/core/version_class.h"

#include "devlink/protocol.h"
#include "platform/os_version.h"

namespace orvelle::console {
namespace {

constexpr int kOtherPlatformClass = 3;
constexpr int kLaterNtClass = 1;

}  // namespace

int WindowsClass(const OsVersion& os) {
  OsVersionInfo v;
  if (!os.Query(v)) return kOtherPlatformClass;
  if (v.platformId == kVerPlatformWin9x) return 0;
  if (v.platformId != kVerPlatformNt) return kOtherPlatformClass;
  if (v.major == 5 && v.minor <= 2) return 2 + static_cast<int>(v.minor);
  if (v.major == 6 && v.minor <= 1) return 5 + static_cast<int>(v.minor);
  return kLaterNtClass;
}

bool GroupInClass(uint8_t code, int windowsClass) {
  return code != TOUCH_SETTINGS || windowsClass == kTouchSettingsClass;
}

}  // namespace orvelle::console
