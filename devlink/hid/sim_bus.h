#pragma once
// The program end of the simulator transport: every socket in the simulator
// folder is a device node; its descriptor is parsed into collections exactly as
// a hidraw node's is. The folder is watched with inotify for arrival and
// removal.

#include <memory>
#include <string>

#include "devlink/hid/bus.h"

namespace orvelle {

// $ORVELLE_SIM_DIR, else $XDG_RUNTIME_DIR/orvelle-sim, else
// /tmp/orvelle-sim-<uid>.
std::string DefaultSimDir();

std::unique_ptr<HidBus> MakeSimBus(const std::string& folder);

}  // namespace orvelle
