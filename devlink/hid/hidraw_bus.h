#pragma once
// Linux hidraw backend: sysfs lists the hidraw nodes, each node's report
// descriptor (sysfs, else the ioctl) is parsed into top-level collections, and
// each collection becomes one HidCollection named after the USB port,
// "/dev/hidraw@usb-0000:00:14.0-1/input0#colNN" ("/dev/hidrawN#colNN" for a
// node without a port). A udev monitor reports hot-plug, one notice per
// collection path.

#include <memory>
#include <string>

#include "devlink/hid/bus.h"

namespace orvelle {

struct HidrawRoots {
  std::string sysfs = "/sys";  // where class/hidraw/* is looked up
  std::string dev = "/dev";    // where the nodes are opened
};

std::unique_ptr<HidBus> MakeHidrawBus(const HidrawRoots& roots = {});

}  // namespace orvelle
