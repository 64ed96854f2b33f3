// The half of Event that is the same everywhere: waiters test the flag under
// the mutex, and WaitForAny looks at the flags once the platform's wait
// ends. Setting, resetting and that wait, which use the platform's handle,
// live in event_posix.cpp and event_win.cpp.
#include "devlink/hid/event.h"

#include <algorithm>

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

int WaitForAny(std::initializer_list<const Event*> events, std::chrono::milliseconds timeout) {
  const size_t count = std::min(events.size(), kMaxWaitedEvents);
  detail::WaitForHandles(events.begin(), count, timeout);
  for (size_t i = 0; i < count; ++i) {
    if (events.begin()[i]->IsSet()) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace orvelle
