#include "devlink/hid/event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace orvelle {

Event::Event() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (fd_ < 0) throw std::runtime_error("eventfd failed");
}

Event::~Event() { close(fd_); }

// The flag under the mutex is what waiters test; the descriptor mirrors it for
// callers that poll it together with a device. Taking the mutex on both sides
// also orders the setter's writes before the waiter's reads.
void Event::Set() {
  std::lock_guard lock(mutex_);
  if (set_) return;
  set_ = true;
  const uint64_t one = 1;
  while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
  changed_.notify_all();
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  if (!set_) return;
  set_ = false;
  uint64_t value = 0;
  while (read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
  }
}

void detail::WaitForHandles(const Event* const* events, size_t count,
                            std::chrono::milliseconds timeout) {
  pollfd fds[kMaxWaitedEvents];
  for (size_t i = 0; i < count; ++i)
    fds[i] = pollfd{events[i]->PollFd(), POLLIN, 0};
  int r;
  do {
    r = poll(fds, count, timeout.count() < 0 ? -1 : static_cast<int>(timeout.count()));
  } while (r < 0 && errno == EINTR);
}

}  // namespace orvelle
