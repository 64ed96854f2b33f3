#pragma once
// The parts of the hidraw bus that need no open device: reading the sysfs
// tree, turning a node into its collections, and turning udev's add/remove
// events into per-collection notices. Kept apart so a fake sysfs tree and
// plain event lists can test them.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "devlink/hid/bus.h"
#include "devlink/hid/descriptor.h"
#include "devlink/hid/hidraw_bus.h"
#include "devlink/protocol.h"

namespace orvelle {

// The "HID_ID=bus:vendor:product" line of a HID device's uevent text.
std::optional<HidIdentity> ParseHidUevent(const std::string& uevent);

// The "HID_PHYS=" value of a uevent text: where the device sits on its bus
// ("usb-0000:00:14.0-1/input0" is port path and interface); empty when absent.
std::string ParseHidPhys(const std::string& uevent);

// The node part of the collection paths of node `name`. Built from the port
// when there is one, so that a controller plugged back into the same port
// keeps its paths although the kernel gives it another hidraw number (a
// Windows device path behaves so); else the node path itself.
std::string HidrawNodeId(const HidrawRoots& roots, const std::string& phys,
                         const std::string& name);

// True for "hidraw<digits>", the only names a hidraw node may have.
bool IsHidrawName(const std::string& name);

// Names of the hidraw nodes under <sysfs>/class/hidraw, in node-number order.
std::vector<std::string> ListHidrawNodes(const std::string& sysfsRoot);

// The node's report descriptor from sysfs; when that cannot be read, from the
// HIDIOCGRDESC ioctl on `fd` (or on the node opened here when fd < 0).
std::optional<std::vector<uint8_t>> ReadNodeDescriptor(const HidrawRoots& roots,
                                                       const std::string& name, int fd = -1);

// One collection per top-level collection of the node; empty when the node's
// identity or descriptor cannot be read or parsed.
std::vector<HidCollection> NodeCollections(const HidrawRoots& roots, const std::string& name);

// The node's name for its current node ("hidraw3" -> the port-based id), or
// empty when it has no readable identity.
std::string NodeIdOf(const HidrawRoots& roots, const std::string& name);

// What a present node was known as when it arrived: udev's removal event
// comes when the node can no longer be asked.
struct KnownNode {
  std::string id;  // as HidrawNodeId
  size_t collections = 0;
};
// Node path ("/dev/hidraw3") -> what it was known as.
using KnownNodes = std::map<std::string, KnownNode>;

// The notices for one udev event of a node: "add" reports every collection
// the node has now (`collectionCount`, from its descriptor) under `id`,
// "remove" every collection it had when it was added, under the id it had.
// Other actions report nothing.
std::vector<DeviceNotice> NoticesForNodeEvent(KnownNodes& known, const std::string& action,
                                              const std::string& node, const std::string& id,
                                              size_t collectionCount);

}  // namespace orvelle
