#pragma once
// The program end of the simulator transport: every node in the simulator
// folder is a device; its descriptor is parsed into collections exactly as a
// hidraw node's is. The folder is watched for arrival and removal.
// (devlink/hid/sim_bus_link.h says what a node is on each system.)

#include <memory>
#include <string>

#include "devlink/hid/bus.h"

namespace orvelle {

#ifdef _WIN32
inline constexpr char kSimPathSeparator = '\\';
#else
inline constexpr char kSimPathSeparator = '/';
#endif

// $ORVELLE_SIM_DIR, else on POSIX $XDG_RUNTIME_DIR/orvelle-sim, else
// /tmp/orvelle-sim-<uid>; on Windows orvelle-sim in the user's temporary
// folder.
std::string DefaultSimDir();

// The node `name` in `folder`.
std::string SimNodePath(const std::string& folder, const std::string& name);

// Creates the folder when missing, readable by its owner only, and tells
// whether it may be used: a real directory (no link). On POSIX it must also
// be owned by this user and writable by nobody else: another local user could
// otherwise plant a controller there (without XDG_RUNTIME_DIR the folder lies
// under /tmp). On Windows each node's pipe is checked instead.
// `why`, when given, receives one line that says what is wrong.
bool PrepareSimFolder(const std::string& folder, std::string* why = nullptr);

// A bus whose folder fails PrepareSimFolder has no collections and no watch.
std::unique_ptr<HidBus> MakeSimBus(const std::string& folder);

}  // namespace orvelle
