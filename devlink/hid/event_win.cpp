#include <windows.h>

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

void detail::WaitForHandles(const Event* const* events, size_t count,
                            std::chrono::milliseconds timeout) {
  HANDLE handles[kMaxWaitedEvents];
  for (size_t i = 0; i < count; ++i)
    handles[i] = events[i]->NativeHandle();
  ::WaitForMultipleObjects(static_cast<DWORD>(count), handles, FALSE,
                           timeout.count() < 0 ? INFINITE : static_cast<DWORD>(timeout.count()));
}

}  // namespace orvelle
