#pragma once
// The advisory lock every program of the suite takes on a controller for one
// exchange group. POSIX: flock() on a file that stands for the controller (the
// hidraw node itself, or the simulator's lock file), released by the kernel
// when the process ends however it ends. Windows: a named mutex derived from
// the device path, abandoned when its owner ends.

#include <memory>
#include <string>

#include "devlink/hid/bus.h"

namespace orvelle {

#ifdef _WIN32
// `path` is folded to lower case: Windows compares device paths so.
LockStatus LockNamedMutex(const std::string& path, std::unique_ptr<ControllerLock>& lock,
                          LockHolder& holder);
#else
// Takes an exclusive flock() on `fd` without waiting; the lock owns `fd`,
// which is closed when it is let go or cannot be taken.
LockStatus LockOpenFile(int fd, std::unique_ptr<ControllerLock>& lock, LockHolder& holder);
#endif

}  // namespace orvelle
