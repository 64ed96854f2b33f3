#pragma once
// Which Windows version the configuration page counts, and which of its
// groups that version reads and writes.

#include <cstdint>

namespace orvelle {
class OsVersion;
}

namespace orvelle::console {

// Only Windows 7 (class 6) has TOUCH_SETTINGS read, written and editable.
// Elsewhere than on Windows the class is 3.
inline constexpr int kTouchSettingsClass = 6;
int WindowsClass(const OsVersion& os);
// Whether a refresh or Apply of this class includes `code`.
bool GroupInClass(uint8_t code, int windowsClass);

}  // namespace orvelle::console
