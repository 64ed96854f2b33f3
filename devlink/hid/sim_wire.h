#pragma once
// The packets of the simulator transport, which both of its ends speak.
//
// One node per device (a SOCK_SEQPACKET Unix socket, or on Windows a
// message-mode named pipe: both keep each packet whole); a connection is one
// open of the node. On connect the device sends a header packet with what the
// hidraw ioctls give (bus type, vendor id, product id, name, report
// descriptor). The open answers with a hello naming the input report IDs it
// reads (none for a write-only open; an empty list with "all" for devices
// without IDs), as a Windows handle on one collection receives only that
// collection's reports; the device echoes the hello once the subscription
// holds. After that every packet is one report, report ID first, in both
// directions.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvelle {

// The longest report either end takes; the header, read once, may be longer.
inline constexpr size_t kSimMaxPacket = 4096;

struct VirtualDeviceIdentity {
  uint32_t busType = 3;  // BUS_USB
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  std::string name;
  std::vector<uint8_t> reportDescriptor;
  // Where the device sits, shaped as a USB port path; the kernel's HID_PHYS,
  // from which the hidraw bus names the device. The socket header leaves it
  // out.
  std::string phys;
};

std::vector<uint8_t> EncodeSimHeader(const VirtualDeviceIdentity& identity);
bool DecodeSimHeader(std::span<const uint8_t> packet, VirtualDeviceIdentity& identity);

// What an open reads: nothing, every report, or the reports with these IDs.
struct SimSubscription {
  bool reads = false;
  bool allReports = false;
  std::vector<uint8_t> reportIds;  // ascending once decoded
};

std::vector<uint8_t> EncodeSimHello(const SimSubscription& subscription);
bool DecodeSimHello(std::span<const uint8_t> packet, SimSubscription& subscription);

}  // namespace orvelle
