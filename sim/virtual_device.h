#pragma once
// The device end of the simulator transport: a virtual HID device that every
// program finds like a plugged-in one.
//
// Speaks the packets of devlink/hid/sim_wire.h through a node in the
// simulator folder (sim/virtual_device_server.h), and serves every open that
// reads a report: several programs can hold the device at once.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "devlink/hid/sim_wire.h"
#include "sim/device_end.h"
#include "sim/virtual_device_server.h"

namespace orvelle {

class VirtualHidDevice final : public HidDeviceEnd {
 public:
  VirtualHidDevice(VirtualDeviceIdentity identity, OutputHandler onOutput);
  ~VirtualHidDevice() override;  // unplugs
  VirtualHidDevice(const VirtualHidDevice&) = delete;
  VirtualHidDevice& operator=(const VirtualHidDevice&) = delete;

  // Creates the node at `nodePath` (its folder is created when missing).
  // False, with LastError(), when the path is taken or cannot be made.
  bool Plug(const std::string& nodePath) override;
  // Removes the node and closes every open.
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
  // An open that has said what it reads.
  struct Client {
    SimSubscription subscription;
    bool Wants(uint8_t reportId) const;
  };
  // True when the packet was used; false when the open broke the protocol.
  bool Received(SimNodeServer::Id id, std::span<const uint8_t> packet);

  const VirtualDeviceIdentity identity_;
  const OutputHandler onOutput_;
  mutable std::mutex mutex_;
  std::map<SimNodeServer::Id, Client> clients_;
  std::string path_;
  std::string error_;
  std::unique_ptr<SimNodeServer> server_;
  std::atomic<uint64_t> dropped_{0};
};

}  // namespace orvelle
