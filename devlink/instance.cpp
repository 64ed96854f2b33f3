// Kept apart from the link itself so that the link's core does not pull in the
// operating system's buses.
#include "devlink/hid/default_bus.h"
#include "devlink/usb_transfer.h"

namespace orvelle {

CUSBTransfer& CUSBTransfer::Instance() {
  static CUSBTransfer link(LinkProfile::Console(), MakeDefaultBus());
  return link;
}

}  // namespace orvelle
