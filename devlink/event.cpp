#include "devlink/event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace orvelle {

Event::Event() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (fd_ < 0) throw std::runtime_error("eventfd failed");
}

Event::~Event() { close(fd_); }

void Event::Set() {
  // The counter stays above zero until Reset drains it, which gives the
  // manual-reset behaviour; writing 1 more than once is harmless.
  const uint64_t one = 1;
  while (write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void Event::Reset() {
  uint64_t value = 0;
  while (read(fd_, &value, sizeof value) < 0 && errno == EINTR) {
  }
}

bool Event::IsSet() const { return Wait(std::chrono::milliseconds(0)); }

bool Event::Wait(std::chrono::milliseconds timeout) const {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    // Rounded up, so that a time-out never ends early.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const int r = poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
    if (r > 0) return true;
    if (r < 0 && errno != EINTR) return false;
    if (r == 0 && left <= 0) return false;
  }
}

void Event::WaitForever() const {
  pollfd p{fd_, POLLIN, 0};
  while (poll(&p, 1, -1) < 0 && errno == EINTR) {
  }
}

int WaitForAny(std::initializer_list<const Event*> events, std::chrono::milliseconds timeout) {
  pollfd fds[8];
  const size_t count = std::min<size_t>(events.size(), 8);
  size_t i = 0;
  for (const Event* e : events) {
    if (i == count) break;
    fds[i++] = pollfd{e->PollFd(), POLLIN, 0};
  }
  int r;
  do {
    r = poll(fds, count, timeout.count() < 0 ? -1 : static_cast<int>(timeout.count()));
  } while (r < 0 && errno == EINTR);
  for (i = 0; r > 0 && i < count; ++i) {
    if (fds[i].revents & POLLIN) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace orvelle
