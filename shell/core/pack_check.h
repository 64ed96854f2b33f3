#pragma once
// The check a language pack file passes before Qt's resource loader sees it,
// free of Qt. Qt trusts the offsets inside a resource bundle, so a damaged
// file would make it read outside the file.
//
// A pack file is the bundle rcc writes followed by a 16-byte seal the build
// appends: "OrvSeal1" and the CRC-64 (XZ) of the bundle, big-endian. The seal
// catches damage; the structure check keeps every offset inside the file even
// for a bundle whose seal matches.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvelle {

inline constexpr size_t kPackSealSize = 16;
// Larger than any pack we build, small enough to read whole.
inline constexpr size_t kMaxPackBytes = 64u << 20;

uint64_t Crc64(std::span<const uint8_t> bytes);

// The bundle with its seal appended.
std::vector<uint8_t> SealPack(std::span<const uint8_t> bundle);

// True when the seal matches and the bundle is well formed; `bundleSize` is
// then the length of the part to register. Otherwise `why` says what is wrong
// in a sentence for the user.
bool CheckPackFile(std::span<const uint8_t> file, size_t& bundleSize, std::string& why);

// The structure alone: header, tree, names and data all within the bundle, the
// tree free of cycles, and compressed entries of a sane unpacked size.
bool CheckResourceBundle(std::span<const uint8_t> bundle, std::string& why);

}  // namespace orvelle
