#pragma once
// Message-box styles and results with MessageBoxA's numbers. The names carry
// a prefix so that <windows.h> macros (MB_OK, IDOK, ...) cannot clash.

namespace orvelle {

enum MessageBoxStyle : unsigned {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbYesNo = 0x4,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconWarning = 0x30,
  kMbIconInformation = 0x40,
  kMbButtonsMask = 0xF,
  kMbIconMask = 0xF0,
};

enum MessageBoxResult : int {
  kIdOk = 1,
  kIdCancel = 2,
  kIdYes = 6,
  kIdNo = 7,
};

// The button that Enter chooses in a box of this style.
inline int DefaultMessageBoxResult(unsigned style) {
  return (style & kMbButtonsMask) == kMbYesNo ? kIdYes : kIdOk;
}

}  // namespace orvelle
