#pragma once
// Start-up decisions of the calibration program that need no OS: the Windows
// version class that the computation depends on, the display rotation, and
// whether the user's double-click settings get enlarged.

#include <optional>
#include <string_view>

namespace orvelle {

inline constexpr int kPlatformWin9x = 1;
inline constexpr int kPlatformNt = 2;
inline constexpr int kOsClassOtherPlatform = 3;

// Windows version as a small number; only 6 (NT 6.1 or later) changes the
// computation. Other platforms, and a failed query, give 3.
int OsClassFor(int platform, int major, int minor);

// The platform's display-orientation value: 1, 2 and 3 stay, anything else is 0.
int OrientationFromDisplayValue(int value);

// What a window system tells of a screen. Orientations count quarter turns
// clockwise from landscape (landscape 0, portrait 1, inverted landscape 2,
// inverted portrait 3); sizes are as reported, the geometry already turned.
struct ScreenReport {
  std::optional<int> orientation;  // none: the platform does not say
  std::optional<int> native;       // none: unknown, as on X11 and Wayland
  // Wayland numbers an output's orientations from its mode's shape, so an
  // output whose panel is portrait is "portrait" when not turned; X11 numbers
  // them from the normal rotation, which it calls landscape whatever its shape.
  bool numberedFromPanelShape = false;
  int width = 0, height = 0;
  double physicalWidth = 0, physicalHeight = 0;  // millimetres; Wayland's are unturned
};

// The display's rotation from its natural position, in the platform's
// display-orientation numbering (0..3, quarter turns clockwise).
int DisplayOrientationFrom(const ScreenReport& report);

// Double-click settings: strings of decimal digits under "Control Panel\Mouse".
inline constexpr const char* kDoubleClickHeight = "DoubleClickHeight";
inline constexpr const char* kDoubleClickWidth = "DoubleClickWidth";
inline constexpr const char* kDoubleClickSpeed = "DoubleClickSpeed";
inline constexpr const char* kEnlargedDoubleClickSize = "24";
inline constexpr const char* kEnlargedDoubleClickSpeed = "600";

// The integer of a setting's leading decimal digits, as the C library reads it
// (leading blanks and a sign allowed; 0 when there are no digits).
int LeadingDecimal(std::string_view text);

// A touch lands less precisely than a mouse click: a double-click area of at
// most 8 x 8 pixels is enlarged.
bool ShouldEnlargeDoubleClick(int width, int height);

}  // namespace orvelle
