// The simulated transport's first packets: the device's header (what the
// hidraw ioctls would give) and an open's hello. The first byte chooses which.
// A decoded packet encodes to one that decodes and encodes to the same bytes.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "devlink/hid/virtual_device.h"

namespace {

using orvelle::VirtualHidDevice;

void Header(std::span<const uint8_t> packet) {
  orvelle::VirtualDeviceIdentity identity;
  if (!VirtualHidDevice::DecodeHeader(packet, identity)) return;
  const auto encoded = VirtualHidDevice::EncodeHeader(identity);
  orvelle::VirtualDeviceIdentity again;
  if (!VirtualHidDevice::DecodeHeader(encoded, again)) std::abort();
  if (VirtualHidDevice::EncodeHeader(again) != encoded) std::abort();
}

void Hello(std::span<const uint8_t> packet) {
  VirtualHidDevice::Subscription subscription;
  if (!VirtualHidDevice::DecodeHello(packet, subscription)) return;
  const auto encoded = VirtualHidDevice::EncodeHello(subscription);
  VirtualHidDevice::Subscription again;
  if (!VirtualHidDevice::DecodeHello(encoded, again)) std::abort();
  if (VirtualHidDevice::EncodeHello(again) != encoded) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const uint8_t> packet(data + 1, size - 1);
  if (data[0] & 1) {
    Hello(packet);
  } else {
    Header(packet);
  }
  return 0;
}
