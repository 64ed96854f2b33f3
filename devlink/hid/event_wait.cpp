// The half of Event that is the same everywhere: waiters test the flag under
// the mutex. Setting and resetting, which also mirror the flag on the
// platform's handle, live in event.cpp (POSIX) and event_win.cpp.
#include "devlink/hid/event.h"

namespace orvelle {

bool Event::IsSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

bool Event::Wait(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return set_; });
}

void Event::WaitForever() const {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return set_; });
}

}  // namespace orvelle
