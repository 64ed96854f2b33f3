#pragma once
// The factory tool's own texts: its string table, by the identifiers the
// message boxes use, and the few fixed strings that are not in the table.
// The tool is Chinese only and carries these itself; it loads no pack.

#include <QString>

namespace orvelle::factory {

enum StringId : int {
  IDS_ABOUTBOX = 101,
  IDS_ERROR = 1050,
  IDS_SIZE_TOO_LARGE = 1051,
  IDS_MODULE_COUNT_WRONG = 1052,
  IDS_LED_COUNT_WRONG = 1053,
  IDS_SIDE_LED_COUNT_WRONG = 1054,
  IDS_SERIAL_EMPTY = 1055,
  IDS_SETTING_FAILED = 1058,
  IDS_ATTENTION = 1060,
  IDS_DEVICE_REMOVED = 1061,
  IDS_NOT_CONNECTED = 1063,
  IDS_SETTING_SUCCEEDED = 1064,
  IDS_TIMED_OUT = 1065,
  IDS_NOT_KEPT = 1066,  // %1 the count the controller holds
  IDS_BUSY = 1067,
  IDS_BUSY_HOLDER = 1068,  // %1 the program, %2 its process
};

// LoadString: the table's text, empty when the identifier has none.
QString LoadFactoryString(int id);

// Fixed strings outside the table.
QString StartupNotConnectedText();     // "设备还没有连接，请检查!"
QString StartupNotConnectedCaption();  // "注意"
QString DeviceConnectedText();         // "设备已连接"
QString OutOfMemoryText();             // "内存不足!"
QString OutOfMemoryCaption();          // "错误"
// The controller is there but this user may not open it (no udev rule).
QString CannotOpenText();
// The controller was unplugged while the tool ran.
QString ControllerRemovedText();
// Tooltip of the buttons whose settings the controller offers no command for.
QString NotSupportedTip();

}  // namespace orvelle::factory
