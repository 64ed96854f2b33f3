#pragma once
// Damaged copies of a file, the same on every run: copy n has, by n % 3, one
// to four bits flipped, its end cut off, or a 4-byte run overwritten.

#include <cstdint>
#include <random>
#include <vector>

namespace orvelle::testing {

inline std::vector<uint8_t> DamagedCopy(std::vector<uint8_t> bytes, int n) {
  std::mt19937 random(static_cast<unsigned>(n));
  auto below = [&](size_t limit) {
    return std::uniform_int_distribution<size_t>(0, limit - 1)(random);
  };
  if (bytes.size() < 8) return {};
  switch (n % 3) {
    case 0:
      for (size_t flips = 1 + below(4); flips > 0; --flips)
        bytes[below(bytes.size())] ^= static_cast<uint8_t>(1u << below(8));
      break;
    case 1:
      bytes.resize(below(bytes.size()));
      break;
    default: {
      const size_t at = below(bytes.size() - 4);
      for (size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(below(256));
    }
  }
  return bytes;
}

}  // namespace orvelle::testing
