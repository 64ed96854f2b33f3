// The simulated transport's first packets: the device's header (what the
// hidraw ioctls would give) and an open's hello. The first byte chooses which.
// A decoded packet encodes to one that decodes and encodes to the same bytes.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "devlink/hid/sim_wire.h"

namespace {

using namespace orvelle;

void Header(std::span<const uint8_t> packet) {
  VirtualDeviceIdentity identity;
  if (!DecodeSimHeader(packet, identity)) return;
  const auto encoded = EncodeSimHeader(identity);
  VirtualDeviceIdentity again;
  if (!DecodeSimHeader(encoded, again)) std::abort();
  if (EncodeSimHeader(again) != encoded) std::abort();
}

void Hello(std::span<const uint8_t> packet) {
  SimSubscription subscription;
  if (!DecodeSimHello(packet, subscription)) return;
  const auto encoded = EncodeSimHello(subscription);
  SimSubscription again;
  if (!DecodeSimHello(encoded, again)) std::abort();
  if (EncodeSimHello(again) != encoded) std::abort();
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
