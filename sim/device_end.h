#pragma once
// The device side of a simulated controller's transport: what the simulator
// needs to appear as a HID device, whether through its socket folder
// (VirtualHidDevice) or through the kernel's /dev/uhid (UhidDevice).

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "devlink/hid/sim_wire.h"

namespace orvelle {

class HidDeviceEnd {
 public:
  // Called on the device's own thread for every output report received.
  using OutputHandler = std::function<void(std::span<const uint8_t> report)>;
  // The feature report with this ID, report ID first; empty when the device
  // has none to give.
  using FeatureHandler = std::function<std::vector<uint8_t>(uint8_t reportId)>;

  virtual ~HidDeviceEnd() = default;
  // Plugs in at `where` (a socket path, or the uhid node). False, with
  // LastError(), when that cannot be done.
  virtual bool Plug(const std::string& where) = 0;
  virtual void Unplug() = 0;
  virtual bool IsPlugged() const = 0;
  virtual std::string Path() const = 0;
  virtual std::string LastError() const = 0;
  // Sends one input report, report ID first; returns how many opens got it.
  virtual size_t SendInputReport(std::span<const uint8_t> report) = 0;
  virtual size_t OpenCount() const = 0;
  // Reports this end knows to have been lost for a reader that lagged.
  virtual uint64_t DroppedReports() const = 0;
};

}  // namespace orvelle
