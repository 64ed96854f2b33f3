#pragma once
// The device end of the simulator transport: a virtual HID device that every
// program finds like a plugged-in one.
//
// Speaks the packets of devlink/hid/sim_wire.h, and serves every open that
// reads a report: several programs can hold the device at once. Plugging
// creates the socket file (under a temporary name, renamed into place once it
// listens), unplugging removes it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "devlink/hid/sim_wire.h"
#include "sim/device_end.h"

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

 private:
  struct Client {
    int fd = -1;
    bool greeted = false;  // its hello arrived
    SimSubscription subscription;
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
