#include "calibration/core/start_up.h"

#include <cctype>
#include <cmath>
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

namespace {

constexpr int kLandscape = 0;
constexpr int kPortrait = 1;

// The toolkit stands in for a physical size the output does not give with its
// geometry at 100 dots per inch; that says nothing about the panel.
bool IsStandInPhysicalSize(const ScreenReport& r) {
  constexpr double kMillimetresPerPixel = 25.4 / 100;
  return std::abs(r.physicalWidth - r.width * kMillimetresPerPixel) < 0.5 &&
         std::abs(r.physicalHeight - r.height * kMillimetresPerPixel) < 0.5;
}

// The orientation the platform reports for the output when it is not turned.
int NativeOrientation(const ScreenReport& r) {
  if (r.native) return *r.native;
  const bool panelKnown = r.physicalWidth > 0 && r.physicalHeight > 0 && !IsStandInPhysicalSize(r);
  if (r.numberedFromPanelShape && panelKnown && r.physicalHeight > r.physicalWidth)
    return kPortrait;
  return kLandscape;
}

}  // namespace

int DisplayOrientationFrom(const ScreenReport& report) {
  if (!report.orientation) return 0;
  return OrientationFromDisplayValue(((*report.orientation - NativeOrientation(report)) % 4 + 4) %
                                     4);
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
