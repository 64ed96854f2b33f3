#pragma once
// Which controller a program uses when several are plugged in, the same for
// every program: a real one outranks a simulated one, and between equals the
// collection path decides, which follows the USB port (a hidraw number
// changes when a controller is plugged back in).

#include <vector>

#include "devlink/hid/bus.h"

namespace orvelle {

// Sorts `collections` so that the controller to use comes last, as discovery
// lets a later collection take a slot over; each controller's collections
// stay together and in the bus's order.
void SortForDiscovery(std::vector<HidCollection>& collections);

}  // namespace orvelle
