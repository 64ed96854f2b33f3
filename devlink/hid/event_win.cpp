#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "devlink/hid/event.h"

namespace orvelle {

Event::Event() : handle_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (!handle_) throw std::runtime_error("CreateEvent failed");
}

Event::~Event() {
  ::CloseHandle(handle_);
}

// As on POSIX, the flag under the mutex is what Wait tests; the handle mirrors
// it for overlapped reads and writes waited on together with the event.
void Event::Set() {
  std::lock_guard lock(mutex_);
  if (set_) return;
  set_ = true;
  ::SetEvent(handle_);
  changed_.notify_all();
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  if (!set_) return;
  set_ = false;
  ::ResetEvent(handle_);
}

int WaitForAny(std::initializer_list<const Event*> events, std::chrono::milliseconds timeout) {
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  const size_t count = std::min<size_t>(events.size(), 8);
  size_t i = 0;
  for (const Event* e : events) {
    if (i == count) break;
    handles[i++] = e->NativeHandle();
  }
  ::WaitForMultipleObjects(static_cast<DWORD>(count), handles, FALSE,
                           timeout.count() < 0 ? INFINITE : static_cast<DWORD>(timeout.count()));
  i = 0;
  for (const Event* e : events) {
    if (i == count) break;
    if (e->IsSet()) return static_cast<int>(i);
    ++i;
  }
  return -1;
}

}  // namespace orvelle
