#include "devlink/hid/sim_wire.h"

#include <algorithm>
#include <cstring>

namespace orvelle {
namespace {

constexpr char kMagic[8] = {'O', 'R', 'V', 'S', 'I', 'M', 'v', '1'};
constexpr char kHelloMagic[8] = {'O', 'R', 'V', 'O', 'P', 'E', 'N', '1'};
enum HelloFlags : uint8_t { kHelloReads = 1, kHelloAllReports = 2 };

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

std::vector<uint8_t> EncodeSimHeader(const VirtualDeviceIdentity& identity) {
  std::vector<uint8_t> out(std::begin(kMagic), std::end(kMagic));
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back((identity.busType >> shift) & 0xFF);
  Put16(out, identity.vendorId);
  Put16(out, identity.productId);
  const std::string name = identity.name.substr(0, 255);
  Put16(out, static_cast<uint16_t>(name.size()));
  out.insert(out.end(), name.begin(), name.end());
  const size_t descriptorLength = std::min<size_t>(identity.reportDescriptor.size(), 4096);
  Put16(out, static_cast<uint16_t>(descriptorLength));
  out.insert(out.end(), identity.reportDescriptor.begin(),
             identity.reportDescriptor.begin() + static_cast<std::ptrdiff_t>(descriptorLength));
  return out;
}

bool DecodeSimHeader(std::span<const uint8_t> packet, VirtualDeviceIdentity& identity) {
  size_t at = 0;
  auto take = [&](size_t n) -> const uint8_t* {
    if (packet.size() - at < n) return nullptr;
    const uint8_t* p = packet.data() + at;
    at += n;
    return p;
  };
  auto take16 = [&](uint16_t& v) {
    const uint8_t* p = take(2);
    if (p) v = static_cast<uint16_t>(p[0] | (p[1] << 8));
    return p != nullptr;
  };
  const uint8_t* magic = take(sizeof kMagic);
  if (!magic || std::memcmp(magic, kMagic, sizeof kMagic) != 0) return false;
  const uint8_t* bus = take(4);
  if (!bus) return false;
  identity.busType =
      bus[0] | (bus[1] << 8) | (bus[2] << 16) | (static_cast<uint32_t>(bus[3]) << 24);
  uint16_t nameLength = 0;
  uint16_t descriptorLength = 0;
  if (!take16(identity.vendorId) || !take16(identity.productId) || !take16(nameLength))
    return false;
  const uint8_t* name = take(nameLength);
  if (!name || !take16(descriptorLength)) return false;
  const uint8_t* descriptor = take(descriptorLength);
  if (!descriptor) return false;
  identity.name.assign(reinterpret_cast<const char*>(name), nameLength);
  identity.reportDescriptor.assign(descriptor, descriptor + descriptorLength);
  return true;
}

std::vector<uint8_t> EncodeSimHello(const SimSubscription& subscription) {
  std::vector<uint8_t> out(std::begin(kHelloMagic), std::end(kHelloMagic));
  uint8_t flags = 0;
  if (subscription.reads) flags |= kHelloReads;
  if (subscription.allReports) flags |= kHelloAllReports;
  out.push_back(flags);
  const size_t count = std::min<size_t>(subscription.reportIds.size(), 255);
  out.push_back(static_cast<uint8_t>(count));
  out.insert(out.end(), subscription.reportIds.begin(),
             subscription.reportIds.begin() + static_cast<std::ptrdiff_t>(count));
  return out;
}

bool DecodeSimHello(std::span<const uint8_t> packet, SimSubscription& subscription) {
  constexpr size_t kFixed = sizeof kHelloMagic + 2;
  if (packet.size() < kFixed || std::memcmp(packet.data(), kHelloMagic, sizeof kHelloMagic) != 0) {
    return false;
  }
  const uint8_t flags = packet[sizeof kHelloMagic];
  const size_t count = packet[sizeof kHelloMagic + 1];
  if (packet.size() != kFixed + count) return false;
  subscription.reads = (flags & kHelloReads) != 0;
  subscription.allReports = (flags & kHelloAllReports) != 0;
  subscription.reportIds.assign(packet.begin() + kFixed, packet.end());
  std::sort(subscription.reportIds.begin(), subscription.reportIds.end());
  return true;
}

}  // namespace orvelle
