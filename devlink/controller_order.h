#pragma once
// Which controller a program uses when several are plugged in, the same for
// every program: a real one outranks a simulated one, and between equals the
// controller's path decides, which follows the USB port (a hidraw number
// changes when a controller is plugged back in).
//
// A controller is known by the path of its node, the part its collection
// paths share ("<node>#colNN"): the stable path that `orvellectl list` prints
// and that every program takes to be pointed at one controller.

#include <cstdint>
#include <string>
#include <vector>

#include "devlink/hid/bus.h"
#include "devlink/link_profile.h"

namespace orvelle {

// The controller a collection belongs to; a path that names no collection
// stands for itself.
std::string ControllerPathOf(const std::string& collectionPath);
// Paths compare without regard to (ASCII) case, as Windows device paths do.
bool SamePath(const std::string& a, const std::string& b);

// Where the controller is plugged in, for people: the USB port of a hidraw
// path ("usb-0000:00:14.0-1" of "/dev/hidraw@usb-0000:00:14.0-1/input0"),
// else the path's last part (a node without a port, a simulator's socket).
std::string PortName(const std::string& controllerPath);

// Sorts `collections` so that the controller to use comes last, as discovery
// lets a later collection take a slot over; each controller's collections
// stay together and in the bus's order.
void SortForDiscovery(std::vector<HidCollection>& collections);

// One accepted controller: its collections share a node.
struct FoundController {
  std::string path;  // ControllerPathOf its collections
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  bool simulated = false;
  std::vector<std::string> collections;
};

// The accepted controllers on `bus`, the one a program opens when it is not
// pointed at one first, then the others in falling rank.
std::vector<FoundController> FindControllers(HidBus& bus, const LinkProfile& profile);

}  // namespace orvelle
