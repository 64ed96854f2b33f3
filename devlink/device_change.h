#pragma once
// What a window does when a HID collection arrives or leaves. One decision
// for every program; each window supplies its own reaction.

#include <functional>

#include "devlink/hid/bus.h"

namespace orvelle {

class CUSBTransfer;

enum class DeviceChangeAction : uint8_t {
  None,
  Reopen,            // no controller was found before: open now
  StopThenReopen,    // a known collection came back while disconnected
  MarkDisconnected,  // a known collection left while connected
};

DeviceChangeAction DecideDeviceChange(const CUSBTransfer& link, const DeviceNotice& notice);

struct DeviceChangeReactions {
  std::function<void()> reopen;   // console: ConnectAndShowStatus; calibration: Open
  std::function<void()> removed;  // after the connected flag was cleared
};

// Decides and acts: stops the threads or clears the connected flag as the
// decision says, and calls the window's reaction.
DeviceChangeAction OnDeviceChange(CUSBTransfer& link, const DeviceNotice& notice,
                                  const DeviceChangeReactions& reactions);

}  // namespace orvelle
