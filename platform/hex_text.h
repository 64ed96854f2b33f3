#pragma once
// Hexadecimal numbers in text: read from what files, users and the kernel
// give, and written for people. Header-only, so that the device link and the
// simulator take it without the rest of the platform library.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace orvelle {

// The value of one hexadecimal digit of either case, or -1.
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One to `maxDigits` (at most 8) hexadecimal digits and nothing else: no
// sign, prefix or space.
constexpr std::optional<uint32_t> ParseHex(std::string_view digits, size_t maxDigits = 8) {
  if (digits.empty() || digits.size() > maxDigits || digits.size() > 8) return std::nullopt;
  uint32_t value = 0;
  for (const char c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return value;
}

// Four lower-case digits: "2a5c".
inline std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", value);
  return text;
}

}  // namespace orvelle
