#pragma once
// The device end of the simulator transport: a virtual HID device that every
// program finds like a plugged-in one.
//
// One SOCK_SEQPACKET Unix socket per device node. A connection is one open of
// the node. On connect the device sends a header packet with what the hidraw
// ioctls give (bus type, vendor id, product id, name, report descriptor). The
// open answers with a hello packet naming the input report IDs it reads (none
// for a write-only open; an empty list with "all" for devices without IDs), as
// a Windows handle on one collection receives only that collection's reports;
// the device echoes the hello once the subscription holds. After that every packet is one report,
// report ID first, in both directions; every open receives every input report it asked for, so
// several programs can hold the device at once. Plugging creates the socket file (under a temporary
// name, renamed into place once it listens), unplugging removes it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "devlink/hid/device_end.h"

namespace orvelle {

class VirtualHidDevice final : public HidDeviceEnd {
 public:
  VirtualHidDevice(VirtualDeviceIdentity identity, OutputHandler onOutput);
  ~VirtualHidDevice() override;  // unplugs
  VirtualHidDevice(const VirtualHidDevice&) = delete;
  VirtualHidDevice& operator=(const VirtualHidDevice&) = delete;

  // Creates the socket at `socketPath` (its folder is created when missing).
  // False, with LastError(), when the path is taken or cannot be made.
  bool Plug(const std::string& socketPath) override;
  // Closes every open and removes the socket file.
  void Unplug() override;
  bool IsPlugged() const override;
  std::string Path() const override;
  std::string LastError() const override;

  // Sends one input report to every open that reads it; returns how many got it.
  // Never blocks: an open whose queue is full misses the report (as hidraw's
  // bounded report list would), which DroppedReports() counts.
  size_t SendInputReport(std::span<const uint8_t> report) override;
  size_t OpenCount() const override;
  uint64_t DroppedReports() const override { return dropped_.load(); }

  static std::vector<uint8_t> EncodeHeader(const VirtualDeviceIdentity& identity);
  static bool DecodeHeader(std::span<const uint8_t> packet, VirtualDeviceIdentity& identity);

  // What an open reads: nothing, every report, or the reports with these IDs.
  struct Subscription {
    bool reads = false;
    bool allReports = false;
    std::vector<uint8_t> reportIds;
  };
  static std::vector<uint8_t> EncodeHello(const Subscription& subscription);
  static bool DecodeHello(std::span<const uint8_t> packet, Subscription& subscription);

 private:
  struct Client {
    int fd = -1;
    bool greeted = false;  // its hello arrived
    Subscription subscription;
    bool Wants(uint8_t reportId) const;
  };
  void Serve();
  void AcceptClient();
  // True when the packet was used; false when the open broke the protocol.
  bool Received(int fd, std::span<const uint8_t> packet);
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
