#include "devlink/device_change.h"

#include "devlink/controller_order.h"
#include "devlink/usb_transfer.h"

namespace orvelle {

DeviceChangeAction DecideDeviceChange(const CUSBTransfer& link, const DeviceNotice& notice) {
  if (link.Profile().deviceChanges != DeviceChangeHandling::React) return DeviceChangeAction::None;
  // A link pointed at one controller leaves the others to the program.
  if (!link.Device().empty() && !SamePath(ControllerPathOf(notice.path), link.Device())) {
    return DeviceChangeAction::None;
  }
  switch (notice.kind) {
    case DeviceNotice::Kind::Arrival:
      // With no controller found before, any arrival may be it, on any port.
      if (!link.HasChannels()) return DeviceChangeAction::Reopen;
      if (link.MatchesDevicePath(notice.path) && !link.IsConnected()) {
        return DeviceChangeAction::StopThenReopen;
      }
      return DeviceChangeAction::None;
    case DeviceNotice::Kind::Removal:
      // Each collection leaves with a notice of its own; the first one that
      // matches clears the flag, the others find it cleared.
      if (link.MatchesDevicePath(notice.path) && link.IsConnected()) {
        return DeviceChangeAction::MarkDisconnected;
      }
      return DeviceChangeAction::None;
  }
  return DeviceChangeAction::None;
}

DeviceChangeAction OnDeviceChange(CUSBTransfer& link, const DeviceNotice& notice,
                                  const DeviceChangeReactions& reactions) {
  const DeviceChangeAction action = DecideDeviceChange(link, notice);
  switch (action) {
    case DeviceChangeAction::None:
      break;
    case DeviceChangeAction::StopThenReopen:
      link.StopThreads();
      [[fallthrough]];
    case DeviceChangeAction::Reopen:
      if (reactions.reopen) reactions.reopen();
      break;
    case DeviceChangeAction::MarkDisconnected:
      link.SetConnected(false);
      if (reactions.removed) reactions.removed();
      break;
  }
  return action;
}

}  // namespace orvelle
