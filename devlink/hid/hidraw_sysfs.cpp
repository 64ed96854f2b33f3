#include "devlink/hid/hidraw_sysfs.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>

#include "devlink/hid/tlc_reports.h"
#include "platform/hex_text.h"

namespace orvelle {
namespace {

// sysfs attributes of a HID device are a few KiB at most.
constexpr size_t kMaxAttributeBytes = 64 * 1024;

std::string DeviceFolder(const HidrawRoots& roots, const std::string& name) {
  return roots.sysfs + "/class/hidraw/" + name + "/device";
}

std::optional<std::vector<uint8_t>> ReadAttribute(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::vector<uint8_t> bytes(kMaxAttributeBytes);
  size_t used = 0;
  bool ok = true;
  while (used < bytes.size()) {
    const ssize_t n = read(fd, bytes.data() + used, bytes.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    used += static_cast<size_t>(n);
  }
  close(fd);
  if (!ok) return std::nullopt;
  bytes.resize(used);
  return bytes;
}

std::optional<std::vector<uint8_t>> DescriptorByIoctl(int fd) {
  int size = 0;
  if (ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0) return std::nullopt;
  if (size <= 0 || size > HID_MAX_DESCRIPTOR_SIZE) return std::nullopt;
  auto rd = std::make_unique<hidraw_report_descriptor>();
  rd->size = static_cast<uint32_t>(size);
  if (ioctl(fd, HIDIOCGRDESC, rd.get()) < 0) return std::nullopt;
  return std::vector<uint8_t>(rd->value, rd->value + size);
}

}  // namespace

std::optional<HidIdentity> ParseHidUevent(const std::string& uevent) {
  size_t start = 0;
  while (start < uevent.size()) {
    size_t end = uevent.find('\n', start);
    if (end == std::string::npos) end = uevent.size();
    const std::string line = uevent.substr(start, end - start);
    start = end + 1;
    if (line.rfind("HID_ID=", 0) != 0) continue;
    const std::string fields = line.substr(7);
    const size_t first = fields.find(':');
    const size_t second = first == std::string::npos ? first : fields.find(':', first + 1);
    if (second == std::string::npos) return std::nullopt;
    const auto bus = ParseHex(fields.substr(0, first));
    const auto vendor = ParseHex(fields.substr(first + 1, second - first - 1));
    const auto product = ParseHex(fields.substr(second + 1));
    if (!bus || !vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF) return std::nullopt;
    return HidIdentity{static_cast<uint16_t>(*vendor), static_cast<uint16_t>(*product)};
  }
  return std::nullopt;
}

std::string ParseHidPhys(const std::string& uevent) {
  size_t start = 0;
  while (start < uevent.size()) {
    size_t end = uevent.find('\n', start);
    if (end == std::string::npos) end = uevent.size();
    if (uevent.compare(start, 9, "HID_PHYS=") == 0) {
      std::string phys = uevent.substr(start + 9, end - start - 9);
      // "#col" ends a collection path and control characters have no place
      // in one; such a value is not used.
      const bool usable = phys.find('#') == std::string::npos &&
                          std::none_of(phys.begin(), phys.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x20; });
      return usable ? phys : std::string();
    }
    start = end + 1;
  }
  return {};
}

std::string HidrawNodeId(const HidrawRoots& roots, const std::string& phys,
                         const std::string& name) {
  return phys.empty() ? roots.dev + "/" + name : roots.dev + "/hidraw@" + phys;
}

std::string NodeIdOf(const HidrawRoots& roots, const std::string& name) {
  const auto uevent = ReadAttribute(DeviceFolder(roots, name) + "/uevent");
  if (!uevent) return {};
  return HidrawNodeId(roots, ParseHidPhys(std::string(uevent->begin(), uevent->end())), name);
}

bool IsHidrawName(const std::string& name) {
  constexpr size_t kPrefix = 6;  // "hidraw"
  if (name.size() <= kPrefix || name.size() > kPrefix + 9 || name.rfind("hidraw", 0) != 0) {
    return false;
  }
  return std::all_of(name.begin() + kPrefix, name.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> ListHidrawNodes(const std::string& sysfsRoot) {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(sysfsRoot + "/class/hidraw", ec), end;
       !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (IsHidrawName(name)) names.push_back(std::move(name));
  }
  // Numeric order: hidraw2 before hidraw10.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  return names;
}

std::optional<std::vector<uint8_t>> ReadNodeDescriptor(const HidrawRoots& roots,
                                                       const std::string& name, int fd) {
  auto bytes = ReadAttribute(DeviceFolder(roots, name) + "/report_descriptor");
  if (bytes && !bytes->empty()) return bytes;
  if (fd >= 0) return DescriptorByIoctl(fd);
  const std::string node = roots.dev + "/" + name;
  const int own = open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (own < 0) return std::nullopt;
  auto result = DescriptorByIoctl(own);
  close(own);
  return result;
}

std::vector<HidCollection> NodeCollections(const HidrawRoots& roots, const std::string& name) {
  // The identity is the cheap test, so it comes before the descriptor.
  const auto uevent = ReadAttribute(DeviceFolder(roots, name) + "/uevent");
  if (!uevent) return {};
  const std::string text(uevent->begin(), uevent->end());
  const auto identity = ParseHidUevent(text);
  if (!identity) return {};
  const std::string id = HidrawNodeId(roots, ParseHidPhys(text), name);
  const auto descriptor = ReadNodeDescriptor(roots, name);
  if (!descriptor) return {};
  const auto parsed = ParseReportDescriptor(*descriptor);
  if (!parsed) return {};
  std::vector<HidCollection> collections;
  for (size_t i = 0; i < parsed->collections.size(); ++i) {
    HidCollection c;
    c.path = CollectionPath(id, i);
    c.vendorId = identity->vendorId;
    c.productId = identity->productId;
    c.caps = CapsState::Ok;
    c.inputLength = parsed->collections[i].inputLength;
    c.outputLength = parsed->collections[i].outputLength;
    collections.push_back(std::move(c));
  }
  return collections;
}

std::vector<DeviceNotice> NoticesForNodeEvent(KnownNodes& known, const std::string& action,
                                              const std::string& node, const std::string& id,
                                              size_t collectionCount) {
  DeviceNotice::Kind kind;
  KnownNode what;
  if (action == "add") {
    kind = DeviceNotice::Kind::Arrival;
    what = {id, collectionCount};
    if (what.collections == 0) {
      known.erase(node);
    } else {
      known[node] = what;
    }
  } else if (action == "remove") {
    kind = DeviceNotice::Kind::Removal;
    const auto it = known.find(node);
    if (it == known.end()) return {};
    what = it->second;
    known.erase(it);
  } else {
    return {};
  }
  std::vector<DeviceNotice> notices;
  for (size_t i = 0; i < what.collections; ++i)
    notices.push_back({kind, CollectionPath(what.id, i)});
  return notices;
}

}  // namespace orvelle
