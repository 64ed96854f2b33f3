#pragma once
// Message-box styles and results with MessageBoxA's numbers. The names carry
// a prefix so that <windows.h> macros (MB_OK, IDOK, ...) cannot clash.

namespace orvelle {

enum MessageBoxStyle : unsigned {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbYesNo = 0x4,
  kMbRetryCancel = 0x5,
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
  kIdRetry = 4,
  kIdYes = 6,
  kIdNo = 7,
};

// The button that Enter chooses in a box of this style. A retry is no default:
// a box that nobody answers must not repeat what it reports for ever.
inline int DefaultMessageBoxResult(unsigned style) {
  switch (style & kMbButtonsMask) {
    case kMbYesNo:
      return kIdYes;
    case kMbRetryCancel:
      return kIdCancel;
    default:
      return kIdOk;
  }
}

}  // namespace orvelle
