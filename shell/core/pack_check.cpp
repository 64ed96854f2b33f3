#include "shell/core/pack_check.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace orvelle {

namespace {

constexpr char kSealMagic[8] = {'O', 'r', 'v', 'S', 'e', 'a', 'l', '1'};

// Node flags and header flags of the bundle format.
constexpr uint16_t kCompressed = 0x01;
constexpr uint16_t kDirectory = 0x02;
constexpr uint16_t kCompressedZstd = 0x04;
constexpr uint64_t kMaxUnpackedBytes = 64u << 20;

constexpr std::array<uint64_t, 256> MakeCrcTable() {
  std::array<uint64_t, 256> table{};
  for (uint64_t i = 0; i < 256; ++i) {
    uint64_t crc = i;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1) ? (crc >> 1) ^ 0xC96C5795D7870F42ull : crc >> 1;
    table[i] = crc;
  }
  return table;
}
constexpr auto kCrcTable = MakeCrcTable();

uint64_t Big(std::span<const uint8_t> bytes, size_t at, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i)
    value = (value << 8) | bytes[at + i];
  return value;
}

uint64_t Little(std::span<const uint8_t> bytes, size_t at, size_t width) {
  uint64_t value = 0;
  for (size_t i = width; i-- > 0;)
    value = (value << 8) | bytes[at + i];
  return value;
}

// One of the bundle's three areas: it runs from its offset to the next area
// that starts after it, or to the end.
struct Area {
  size_t begin = 0;
  size_t end = 0;
  bool Holds(uint64_t offset, uint64_t length) const {
    return offset <= end - begin && length <= end - begin - offset;
  }
};

// The unpacked size a compressed entry claims, as Qt's loader will allocate it.
bool UnpackedSize(std::span<const uint8_t> entry, bool zstd, uint64_t& size) {
  if (!zstd) {
    // zlib data behind the unpacked size, big-endian.
    if (entry.size() < 4) return false;
    size = Big(entry, 0, 4);
    return true;
  }
  // A zstd frame header with its content size.
  if (entry.size() < 6 || Little(entry, 0, 4) != 0xFD2FB528u) return false;
  const uint8_t descriptor = entry[4];
  const bool singleSegment = descriptor & 0x20;
  const size_t dictionaryBytes = std::array<size_t, 4>{0, 1, 2, 4}[descriptor & 3];
  const size_t sizeBytes = std::array<size_t, 4>{singleSegment ? 1u : 0u, 2, 4, 8}[descriptor >> 6];
  const size_t at = 5 + (singleSegment ? 0 : 1) + dictionaryBytes;
  if (sizeBytes == 0 || at + sizeBytes > entry.size()) return false;
  size = Little(entry, at, sizeBytes) + (sizeBytes == 2 ? 256 : 0);
  return true;
}

class BundleCheck {
 public:
  explicit BundleCheck(std::span<const uint8_t> bundle) : b_(bundle) {}

  bool Run(std::string& why) {
    if (b_.size() < 20 || std::memcmp(b_.data(), "qres", 4) != 0) {
      why = "it is not a resource bundle";
      return false;
    }
    const uint64_t version = Big(b_, 4, 4);
    if (version < 1 || version > 3) {
      why = "its format version is unknown";
      return false;
    }
    const size_t header = version >= 3 ? 24 : 20;
    nodeSize_ = version >= 2 ? 22 : 14;
    if (b_.size() < header) {
      why = "its header is cut short";
      return false;
    }
    const uint64_t offsets[3] = {Big(b_, 8, 4), Big(b_, 12, 4), Big(b_, 16, 4)};
    for (uint64_t offset : offsets) {
      if (offset < header || offset >= b_.size()) {
        why = "its header points outside the file";
        return false;
      }
    }
    if (version >= 3 && (Big(b_, 20, 4) & ~uint64_t{kCompressed | kCompressedZstd}) != 0) {
      why = "its header has unknown flags";
      return false;
    }
    tree_ = AreaAt(offsets[0], offsets);
    data_ = AreaAt(offsets[1], offsets);
    names_ = AreaAt(offsets[2], offsets);
    nodes_ = (tree_.end - tree_.begin) / nodeSize_;
    if (nodes_ == 0) {
      why = "its file tree is empty";
      return false;
    }
    seen_.assign(nodes_, false);
    seen_[0] = true;
    if (!(Flags(0) & kDirectory)) {
      why = "its file tree has no root folder";
      return false;
    }
    return Walk(why);
  }

 private:
  Area AreaAt(uint64_t begin, const uint64_t (&offsets)[3]) const {
    uint64_t end = b_.size();
    for (uint64_t other : offsets) {
      if (other > begin) end = std::min(end, other);
    }
    return {static_cast<size_t>(begin), static_cast<size_t>(end)};
  }

  size_t At(size_t node) const { return tree_.begin + node * nodeSize_; }
  uint16_t Flags(size_t node) const { return static_cast<uint16_t>(Big(b_, At(node) + 4, 2)); }

  // The name's hash, or false when the name lies outside the names area.
  bool NameHash(size_t node, uint64_t& hash) const {
    const uint64_t offset = Big(b_, At(node), 4);
    if (!names_.Holds(offset, 6)) return false;
    const uint64_t length = Big(b_, names_.begin + offset, 2);
    hash = Big(b_, names_.begin + offset + 2, 4);
    return names_.Holds(offset + 6, length * 2);
  }

  // Every folder's children come after it, each node is reached once, and the
  // children are in the hash order Qt's lookup searches by.
  bool Walk(std::string& why) {
    std::vector<size_t> folders = {0};
    while (!folders.empty()) {
      const size_t folder = folders.back();
      folders.pop_back();
      const uint64_t count = Big(b_, At(folder) + 6, 4);
      const uint64_t first = Big(b_, At(folder) + 10, 4);
      if (count > 0 && (first <= folder || first >= nodes_ || count > nodes_ - first)) {
        why = "its file tree points outside itself";
        return false;
      }
      uint64_t previousHash = 0;
      for (size_t child = first; child < first + count; ++child) {
        uint64_t hash = 0;
        if (seen_[child] || !NameHash(child, hash) || hash < previousHash) {
          why = "its file tree is not in order";
          return false;
        }
        seen_[child] = true;
        previousHash = hash;
        if (Flags(child) & kDirectory) {
          folders.push_back(child);
        } else if (!CheckEntry(child, why)) {
          return false;
        }
      }
    }
    return true;
  }

  bool CheckEntry(size_t node, std::string& why) const {
    const uint64_t offset = Big(b_, At(node) + 10, 4);
    if (!data_.Holds(offset, 4) || !data_.Holds(offset + 4, Big(b_, data_.begin + offset, 4))) {
      why = "a file inside it lies outside the bundle";
      return false;
    }
    const uint16_t flags = Flags(node);
    if (flags & (kCompressed | kCompressedZstd)) {
      const size_t length = static_cast<size_t>(Big(b_, data_.begin + offset, 4));
      uint64_t unpacked = 0;
      if (!UnpackedSize(b_.subspan(data_.begin + offset + 4, length), flags & kCompressedZstd,
                        unpacked) ||
          unpacked > kMaxUnpackedBytes) {
        why = "a compressed file inside it is damaged";
        return false;
      }
    }
    return true;
  }

  const std::span<const uint8_t> b_;
  size_t nodeSize_ = 22;
  Area tree_, data_, names_;
  size_t nodes_ = 0;
  std::vector<bool> seen_;
};

}  // namespace

uint64_t Crc64(std::span<const uint8_t> bytes) {
  uint64_t crc = ~uint64_t{0};
  for (uint8_t byte : bytes)
    crc = kCrcTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::vector<uint8_t> SealPack(std::span<const uint8_t> bundle) {
  std::vector<uint8_t> file(bundle.begin(), bundle.end());
  file.insert(file.end(), kSealMagic, kSealMagic + sizeof kSealMagic);
  const uint64_t crc = Crc64(bundle);
  for (int shift = 56; shift >= 0; shift -= 8)
    file.push_back(static_cast<uint8_t>(crc >> shift));
  return file;
}

bool CheckPackFile(std::span<const uint8_t> file, size_t& bundleSize, std::string& why) {
  if (file.size() > kMaxPackBytes) {
    why = "it is far larger than any language file";
    return false;
  }
  if (file.size() < kPackSealSize ||
      std::memcmp(file.data() + file.size() - kPackSealSize, kSealMagic, sizeof kSealMagic) != 0) {
    why = "it is cut short or was not made by this program's build";
    return false;
  }
  const std::span<const uint8_t> bundle = file.first(file.size() - kPackSealSize);
  if (Big(file, file.size() - 8, 8) != Crc64(bundle)) {
    why = "its content does not match its checksum";
    return false;
  }
  if (!CheckResourceBundle(bundle, why)) return false;
  bundleSize = bundle.size();
  return true;
}

bool CheckResourceBundle(std::span<const uint8_t> bundle, std::string& why) {
  return BundleCheck(bundle).Run(why);
}

}  // namespace orvelle
