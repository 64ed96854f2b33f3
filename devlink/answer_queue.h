#pragma once
// The hand-over of recognised frames from the reader threads to the owner
// thread, and the waits of the owner thread on it.
//
// Readers Push() frames; the owner hands them to its AnswerSink in order and
// never nested while it waits (Wait) or drains (Drain). A request's wait is
// answered by the first frame that arrived after its Ticket was taken: once
// that frame was handled, or, for a wait begun inside a handler (a message box
// of a handler lets the window's timers run), once it arrived; it is then
// handed over after the outer handler returns. Fail() ends every wait under
// way at once: the device went, or a request's write failed.
//
// Without a dispatcher the readers call the sink themselves and report each
// handled frame with Handled(); the same waits serve both ways.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>

#include "devlink/dispatch.h"

namespace orvelle {

class AnswerQueue {
 public:
  using Clock = std::chrono::steady_clock;

  // Where the frames and failures stood when a wait began.
  struct Ticket {
    uint64_t arrived = 0;
    uint64_t failures = 0;
  };
  enum class WaitResult : uint8_t { Answered, TimedOut, Failed };

  // Reader side. Push: false when the owner fell so far behind that the
  // frame was dropped, as a full HID driver buffer drops reports.
  bool Push(std::span<const uint8_t> frame);
  void Handled();
  void Fail();

  // Owner side.
  Ticket Take() const;
  // Called, without the lock, about every kIdleStep while a wait has nothing
  // to hand over.
  using WhileWaiting = std::function<void()>;
  static constexpr std::chrono::milliseconds kIdleStep{15};

  // A request's wait: Answered, TimedOut at the deadline, or Failed.
  WaitResult WaitForAnswer(AnswerSink* sink, Ticket ticket, Clock::time_point deadline,
                           const WhileWaiting& idle = {});
  // A pause: hands frames over until the deadline; false when a failure
  // ended it early.
  bool Pause(AnswerSink* sink, Ticket ticket, Clock::time_point deadline,
             const WhileWaiting& idle = {});
  // Hands over what is queued now, unless a handler runs.
  void Drain(AnswerSink* sink);
  // Frames wait and no handler runs: the owner must be asked to drain again.
  bool NeedsDrain() const;
  void Clear();
  uint64_t Dropped() const;

  static constexpr size_t kLimit = 8192;

 private:
  struct Frame {
    uint64_t seq = 0;
    std::array<uint8_t, 64> bytes{};
    size_t length = 0;
  };
  WaitResult Run(AnswerSink* sink, Ticket ticket, Clock::time_point deadline, bool wantAnswer,
                 const WhileWaiting& idle);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Frame> frames_;
  uint64_t arrived_ = 0;  // sequence number of the newest frame
  uint64_t handled_ = 0;  // sequence number of the newest frame whose handler returned
  uint64_t failures_ = 0;
  uint64_t dropped_ = 0;
  bool handling_ = false;  // a handler runs on the owner thread
};

}  // namespace orvelle
