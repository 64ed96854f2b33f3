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

// Creates the folder when missing, readable by its owner only, and tells
// whether it may be used: a real directory (no link) owned by this user and
// writable by nobody else. Another local user could otherwise plant a
// controller there (without XDG_RUNTIME_DIR the folder lies under /tmp).
// `why`, when given, receives one line that says what is wrong.
bool PrepareSimFolder(const std::string& folder, std::string* why = nullptr);

// A bus whose folder fails PrepareSimFolder has no collections and no watch.
std::unique_ptr<HidBus> MakeSimBus(const std::string& folder);

}  // namespace orvelle
