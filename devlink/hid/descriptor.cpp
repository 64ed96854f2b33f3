#include "devlink/hid/descriptor.h"

#include <algorithm>
#include <array>
#include <memory>

namespace orvelle {
namespace {

// Limits for descriptors no real device sends. A report of a few KiB is far
// beyond any HID device (hidraw's own buffer is 4 KiB), and the nesting and
// push limits are well above what real descriptors use.
constexpr uint64_t kMaxReportBytes = 4096;
constexpr size_t kMaxCollectionDepth = 32;
constexpr size_t kMaxPushDepth = 16;

enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2, kReserved = 3 };

enum MainTag : uint8_t {
  kInput = 0x8,
  kOutput = 0x9,
  kCollection = 0xA,
  kFeature = 0xB,
  kEndCollection = 0xC,
};

enum GlobalTag : uint8_t {
  kUsagePage = 0x0,
  kReportSize = 0x7,
  kReportId = 0x8,
  kReportCount = 0x9,
  kPush = 0xA,
  kPop = 0xB,
};

constexpr uint8_t kLocalUsage = 0x0;
constexpr uint8_t kLongItemPrefix = 0xFE;

struct Item {
  uint8_t type = 0;
  uint8_t tag = 0;
  uint8_t size = 0;  // data bytes: 0, 1, 2 or 4
  uint32_t data = 0;
};

// The global items that matter for report lengths and usages.
struct Globals {
  uint32_t usagePage = 0;
  uint32_t reportSize = 0;
  uint32_t reportCount = 0;
  uint32_t reportId = 0;
};

enum ReportKind : size_t { kInputKind = 0, kOutputKind = 1, kFeatureKind = 2, kKinds = 3 };

// Bits per report ID and kind, for the top-level collection being parsed.
struct ReportBits {
  std::array<std::array<uint32_t, 256>, kKinds> bits{};
  std::array<std::array<bool, 256>, kKinds> present{};
};

class Parser {
 public:
  std::optional<ParsedDescriptor> Run(std::span<const uint8_t> d);

 private:
  bool Next(std::span<const uint8_t> d, size_t& pos, Item& item) const;
  bool Main(const Item& item);
  bool Global(const Item& item);
  void Local(const Item& item);
  bool AddBits(ReportKind kind);
  void FinishCollection();

  ParsedDescriptor result_;
  Globals globals_;
  std::vector<Globals> pushed_;
  size_t depth_ = 0;
  uint32_t lastUsage_ = 0;
  bool lastUsageExtended_ = false;
  bool haveUsage_ = false;
  bool itemWithoutId_ = false;
  ReportBits reports_;
};

bool Parser::Next(std::span<const uint8_t> d, size_t& pos, Item& item) const {
  const uint8_t prefix = d[pos];
  if (prefix == kLongItemPrefix) {
    // Long items: prefix, data size, tag, data. No HID 1.11 tag is defined for
    // them, so they are skipped whole.
    if (d.size() - pos < 3) return false;
    const size_t size = d[pos + 1];
    if (d.size() - pos - 3 < size) return false;
    pos += 3 + size;
    item = Item{kReserved, 0xF, 0, 0};
    return true;
  }
  static constexpr uint8_t kSizes[4] = {0, 1, 2, 4};
  item.size = kSizes[prefix & 0x3];
  item.type = (prefix >> 2) & 0x3;
  item.tag = prefix >> 4;
  if (d.size() - pos - 1 < item.size) return false;
  item.data = 0;
  for (uint8_t i = 0; i < item.size; ++i)
    item.data |= uint32_t{d[pos + 1 + i]} << (8 * i);
  pos += 1 + item.size;
  return true;
}

bool Parser::Global(const Item& item) {
  switch (item.tag) {
    case kUsagePage:
      globals_.usagePage = item.data;
      break;
    case kReportSize:
      globals_.reportSize = item.data;
      break;
    case kReportCount:
      globals_.reportCount = item.data;
      break;
    case kReportId:
      // 0 is reserved for "no report ID"; IDs are one byte on the wire.
      if (item.data == 0 || item.data > 0xFF) return false;
      globals_.reportId = item.data;
      result_.usesReportIds = true;
      break;
    case kPush:
      if (pushed_.size() >= kMaxPushDepth) return false;
      pushed_.push_back(globals_);
      break;
    case kPop:
      if (pushed_.empty()) return false;
      globals_ = pushed_.back();
      pushed_.pop_back();
      break;
    default:
      break;
  }
  return true;
}

void Parser::Local(const Item& item) {
  if (item.tag != kLocalUsage) return;
  lastUsage_ = item.data;
  lastUsageExtended_ = item.size == 4;
  haveUsage_ = true;
}

bool Parser::AddBits(ReportKind kind) {
  // Items outside every collection belong to no interface Windows would make.
  if (depth_ == 0) return false;
  const uint64_t bits = uint64_t{globals_.reportSize} * globals_.reportCount;
  const uint8_t id = static_cast<uint8_t>(globals_.reportId);
  uint32_t& total = reports_.bits[kind][id];
  if (total + bits > kMaxReportBytes * 8) return false;
  total += static_cast<uint32_t>(bits);
  reports_.present[kind][id] = true;
  if (id == 0) itemWithoutId_ = true;
  return true;
}

void Parser::FinishCollection() {
  TopLevelCollection& c = result_.collections.back();
  uint16_t* lengths[kKinds] = {&c.inputLength, &c.outputLength, &c.featureLength};
  for (size_t id = 0; id < 256; ++id) {
    bool used = false;
    for (size_t kind = 0; kind < kKinds; ++kind) {
      if (!reports_.present[kind][id]) continue;
      used = true;
      const auto bytes = static_cast<uint16_t>((reports_.bits[kind][id] + 7) / 8 + 1);
      *lengths[kind] = std::max(*lengths[kind], bytes);
    }
    if (used) c.reportIds.push_back(static_cast<uint8_t>(id));
    if (reports_.present[kInputKind][id]) c.inputReportIds.push_back(static_cast<uint8_t>(id));
  }
  reports_ = ReportBits{};
}

bool Parser::Main(const Item& item) {
  bool ok = true;
  switch (item.tag) {
    case kInput:
      ok = AddBits(kInputKind);
      break;
    case kOutput:
      ok = AddBits(kOutputKind);
      break;
    case kFeature:
      ok = AddBits(kFeatureKind);
      break;
    case kCollection:
      if (depth_ >= kMaxCollectionDepth) return false;
      if (depth_ == 0) {
        TopLevelCollection c;
        // The usage page is the one in force at the main item, unless the
        // usage carries its own in its upper half.
        const uint32_t usage = haveUsage_ ? lastUsage_ : 0;
        c.usagePage = static_cast<uint16_t>(lastUsageExtended_ ? usage >> 16 : globals_.usagePage);
        c.usage = static_cast<uint16_t>(usage);
        result_.collections.push_back(std::move(c));
      }
      ++depth_;
      break;
    case kEndCollection:
      if (depth_ == 0) return false;
      if (--depth_ == 0) FinishCollection();
      break;
    default:
      break;
  }
  // Local items apply to the next main item only.
  haveUsage_ = false;
  lastUsageExtended_ = false;
  lastUsage_ = 0;
  return ok;
}

std::optional<ParsedDescriptor> Parser::Run(std::span<const uint8_t> d) {
  size_t pos = 0;
  while (pos < d.size()) {
    Item item;
    if (!Next(d, pos, item)) return std::nullopt;
    bool ok = true;
    if (item.type == kMain) ok = Main(item);
    if (item.type == kGlobal) ok = Global(item);
    if (item.type == kLocal) Local(item);
    if (!ok) return std::nullopt;
  }
  if (depth_ != 0) return std::nullopt;
  // A report without an ID beside numbered ones cannot be told apart on the
  // wire: its first data byte would be read as an ID.
  if (result_.usesReportIds && itemWithoutId_) return std::nullopt;
  return std::move(result_);
}

}  // namespace

// Items outside every collection, a Report ID of 0 and reports without an ID
// in a descriptor that numbers its reports make the descriptor malformed.
std::optional<ParsedDescriptor> ParseReportDescriptor(std::span<const uint8_t> descriptor) {
  // ReportBits is a few KiB: keep it off the caller's stack.
  auto parser = std::make_unique<Parser>();
  return parser->Run(descriptor);
}

}  // namespace orvelle
