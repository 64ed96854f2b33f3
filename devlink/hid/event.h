#pragma once
// A manual-reset event, as the link's stop and answer events are: once set it
// stays set until reset, and every waiter sees it. It can also be waited on
// together with a file descriptor (poll), which is how a blocked read is
// interrupted by the stop event.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <initializer_list>

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
  // A descriptor that polls readable while the event is set.
  int PollFd() const { return fd_; }

private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool set_ = false;
  int fd_ = -1;
};

// Waits until any of the events is set (or the time-out passes; a negative
// time-out waits without limit). Returns the index of a set event, or -1.
int WaitForAny(std::initializer_list<const Event*> events,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(-1));

}  // namespace orvelle
