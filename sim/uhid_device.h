#pragma once
// The simulator's device end through the Linux kernel's /dev/uhid: one HID
// device, created with the identity and report descriptor, that the kernel's
// HID core parses and hands to its drivers, so that programs meet it as a
// hidraw node like a plugged-in controller. Output reports arrive as
// UHID_OUTPUT; feature reads are answered from the feature handler, feature
// writes are refused (the controller has no writable feature). Unplugging
// destroys the device; plugging again creates a new one (a new hidrawN) at
// the same `phys`, as a controller replugged into the same port.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "sim/device_end.h"

namespace orvelle {

inline constexpr char kUhidNode[] = "/dev/uhid";

class UhidDevice final : public HidDeviceEnd {
 public:
  UhidDevice(VirtualDeviceIdentity identity, OutputHandler onOutput, FeatureHandler onFeature);
  ~UhidDevice() override;  // unplugs
  UhidDevice(const UhidDevice&) = delete;
  UhidDevice& operator=(const UhidDevice&) = delete;

  // Opens `node` (kUhidNode when empty) and creates the device.
  bool Plug(const std::string& node) override;
  // Creates the device on an open uhid descriptor (or a test's socket end),
  // which this object then owns.
  bool PlugOnto(int fd, const std::string& node);
  void Unplug() override;
  bool IsPlugged() const override;
  std::string Path() const override;
  std::string LastError() const override;
  // Each report is one UHID_INPUT2; 1 when the kernel took it. The kernel
  // hands it to every hidraw reader without telling whether one lagged.
  size_t SendInputReport(std::span<const uint8_t> report) override;
  // 1 while the kernel has the device open (UHID_OPEN .. UHID_CLOSE): the
  // kernel counts its opens itself and tells only the first and the last.
  size_t OpenCount() const override;
  uint64_t DroppedReports() const override { return 0; }

 private:
  void Serve(int fd, int wakeFd);
  void Answer(int fd, std::span<const uint8_t> event);
  bool WriteEvent(int fd, const void* event, size_t size);

  const VirtualDeviceIdentity identity_;
  const OutputHandler onOutput_;
  const FeatureHandler onFeature_;
  mutable std::mutex mutex_;  // fd_, wakeFd_, node_, error_, thread_
  std::mutex writeMutex_;     // one event written at a time
  int fd_ = -1;
  int wakeFd_ = -1;
  std::string node_;
  std::string error_;
  std::thread server_;
  std::atomic<bool> opened_{false};
};

}  // namespace orvelle
