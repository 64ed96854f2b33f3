#include "devlink/event.h"

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
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const int r = poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

void Event::WaitForever() const {
  pollfd p{fd_, POLLIN, 0};
  while (poll(&p, 1, -1) < 0 && errno == EINTR) {
  }
}

}  // namespace orvelle
