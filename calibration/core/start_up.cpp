#include "calibration/core/start_up.h"

#include <cctype>
#include <limits>

namespace orvelle {

int OsClassFor(int platform, int major, int minor) {
  if (platform == kPlatformWin9x) return 0;
  if (platform != kPlatformNt) return kOsClassOtherPlatform;
  if (major < 5) return 1;
  if (major == 5) {
    switch (minor) {
      case 0:
        return 2;
      case 1:
        return 3;
      case 2:
        return 4;
      default:
        return 1;
    }
  }
  if (major == 6 && minor == 0) return 5;
  return 6;
}

int OrientationFromDisplayValue(int value) {
  return value >= 1 && value <= 3 ? value : 0;
}

int LeadingDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  constexpr long long kLimit = std::numeric_limits<int>::max();
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (value <= kLimit) value = value * 10 + (text[i] - '0');
  }
  if (value > kLimit) value = kLimit;
  return static_cast<int>(negative ? -value : value);
}

bool ShouldEnlargeDoubleClick(int width, int height) {
  return width <= 8 && height <= 8;
}

}  // namespace orvelle
