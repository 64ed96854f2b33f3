#pragma once
// The device end of the simulator transport: a virtual HID device that every
// program finds like a plugged-in one.
//
// One SOCK_SEQPACKET Unix socket per device node. A connection is one open of
// the node. On connect the device sends a header packet with what the hidraw
// ioctls give (bus type, vendor id, product id, name, report descriptor); after
// that every packet is one report, report ID first, in both directions. Every
// open receives every input report. Plugging creates the socket file (under a
// temporary name, renamed into place once it listens), unplugging removes it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace orvelle {

struct VirtualDeviceIdentity {
  uint32_t busType = 3;  // BUS_USB
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  std::string name;
  std::vector<uint8_t> reportDescriptor;
};

class VirtualHidDevice {
public:
  // Called on the device's own thread for every output report received.
  using OutputHandler = std::function<void(std::span<const uint8_t> report)>;

  VirtualHidDevice(VirtualDeviceIdentity identity, OutputHandler onOutput);
  ~VirtualHidDevice();  // unplugs
  VirtualHidDevice(const VirtualHidDevice&) = delete;
  VirtualHidDevice& operator=(const VirtualHidDevice&) = delete;

  // Creates the socket at `socketPath` (its folder is created when missing).
  // False, with LastError(), when the path is taken or cannot be made.
  bool Plug(const std::string& socketPath);
  // Closes every open and removes the socket file.
  void Unplug();
  bool IsPlugged() const;
  std::string Path() const;
  std::string LastError() const;

  // Sends one input report to every open that reads; returns how many got it.
  // Never blocks: an open whose queue is full misses the report (as hidraw's
  // bounded report list would), which DroppedReports() counts.
  size_t SendInputReport(std::span<const uint8_t> report);
  size_t OpenCount() const;
  uint64_t DroppedReports() const { return dropped_.load(); }

  static std::vector<uint8_t> EncodeHeader(const VirtualDeviceIdentity& identity);
  static bool DecodeHeader(std::span<const uint8_t> packet, VirtualDeviceIdentity& identity);

private:
  struct Client {
    int fd = -1;
    bool reads = true;
  };
  void Serve();
  void AcceptClient();
  void CloseAll();

  const VirtualDeviceIdentity identity_;
  const OutputHandler onOutput_;
  mutable std::mutex mutex_;
  std::vector<Client> clients_;
  std::string path_;
  std::string error_;
  int listenFd_ = -1;
  int wakeFd_ = -1;
  std::thread server_;
  std::atomic<uint64_t> dropped_{0};
};

}  // namespace orvelle
