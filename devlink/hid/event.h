#pragma once
// A manual-reset event, as the link's stop and answer events are: once set it
// stays set until reset, and every waiter sees it. It can also be waited on
// together with a device, which is how a blocked read is interrupted by the
// stop event: a file descriptor to poll on POSIX, an event handle to pass to
// WaitForMultipleObjects on Windows.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <initializer_list>
#include <mutex>

namespace orvelle {

class Event {
 public:
  Event();
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // Waits until set or until the time-out; true when set.
  bool Wait(std::chrono::milliseconds timeout) const;
  void WaitForever() const;
#ifdef _WIN32
  // A manual-reset event handle (HANDLE) signalled while the event is set.
  void* NativeHandle() const {
    return handle_;
  }
#else
  // A descriptor that polls readable while the event is set.
  int PollFd() const {
    return fd_;
  }
#endif

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool set_ = false;
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// A time-out that waits without limit.
inline constexpr std::chrono::milliseconds kNoTimeLimit{-1};

// Waits until any of the events is set (or the time-out passes). Returns the
// index of a set event, or -1. Only the first kMaxWaitedEvents of them are
// waited on.
inline constexpr size_t kMaxWaitedEvents = 8;
int WaitForAny(std::initializer_list<const Event*> events,
               std::chrono::milliseconds timeout = kNoTimeLimit);

namespace detail {
// The platform's half of WaitForAny: blocks until one of the events' handles
// is signalled or the time-out passes.
void WaitForHandles(const Event* const* events, size_t count, std::chrono::milliseconds timeout);
}  // namespace detail

}  // namespace orvelle
