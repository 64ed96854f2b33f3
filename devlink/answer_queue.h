#pragma once
// The hand-over of recognised frames from the reader threads to the owner
// thread, and the waits of the owner thread on it.
//
// Every open of a controller receives every answer, another program's too, and
// the protocol carries no request number. So a request registers what its
// answer looks like (Expect) before it is written, and a frame reaches the
// owner's AnswerSink only when it answers a request that still waits for it,
// or when the program takes it unasked (its raw touch points, say: Push's
// `unasked`). Everything else is dropped and counted. A request's wait ends
// with its own answer, once that was handled; a wait begun inside a handler (a
// message box of a handler lets the window's timers run) ends once its answer
// arrived, and the answer is handed over after the outer handler returns.
// When a wait ends without its answer, a late one is dropped: what the
// controller holds is unknown until it is read again. Fail() ends every wait
// under way at once: the device went, or a request's write failed.
//
// Readers Push() frames; the owner hands them to its AnswerSink in order and
// never nested while it waits (Wait) or drains (Drain). Without a dispatcher
// the readers call the sink themselves: they Claim() a frame first and report
// it Handled() after.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "devlink/dispatch.h"
#include "devlink/frame.h"

namespace orvelle {

class AnswerQueue {
 public:
  using Clock = std::chrono::steady_clock;

  // One request's wait, or a pause (request 0), and the failures seen before.
  struct Ticket {
    uint64_t request = 0;
    uint64_t failures = 0;
  };
  enum class WaitResult : uint8_t { Answered, TimedOut, Failed };

  // Reader side. Push: false when the frame was dropped, because it answers
  // no waiting request and is not taken unasked, or because the owner fell so
  // far behind (as a full HID driver buffer drops reports).
  bool Push(std::span<const uint8_t> frame, bool unasked);
  // The request a frame answers (0: taken unasked), or none when it is to be
  // dropped; Handled() once the sink has it.
  std::optional<uint64_t> Claim(std::span<const uint8_t> frame, bool unasked);
  void Handled(uint64_t request);
  void Fail();

  // Owner side. Expect before the request is written; every wait ends it.
  Ticket Expect(const AnswerPattern& answer);
  void Withdraw(Ticket ticket);
  // A pause's ticket.
  Ticket Take() const;
  // Called, without the lock, about every kIdleStep while a wait has nothing
  // to hand over.
  using WhileWaiting = std::function<void()>;
  static constexpr std::chrono::milliseconds kIdleStep{15};

  // A request's wait: Answered, TimedOut at the deadline, or Failed. The
  // request is withdrawn, however it ends.
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
  // Frames that answered nothing this program waited for.
  uint64_t Unasked() const;

  static constexpr size_t kLimit = 8192;

 private:
  struct Frame {
    uint64_t request = 0;  // 0: taken unasked
    std::array<uint8_t, 64> bytes{};
    size_t length = 0;
  };
  struct Request {
    uint64_t id = 0;
    AnswerPattern answer;
    bool arrived = false;
    bool handled = false;
    bool waitEnded = false;  // answered inside a handler, not yet handed over
  };
  // The waiting request `frame` answers, marked as arrived; null if none.
  Request* Answering(std::span<const uint8_t> frame);
  Request* Find(uint64_t id);
  // The request's wait has ended; it goes once its answer, if any, is handed over.
  void Forget(uint64_t id, bool answered);
  WaitResult Run(AnswerSink* sink, Ticket ticket, Clock::time_point deadline, bool wantAnswer,
                 const WhileWaiting& idle);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Frame> frames_;
  std::vector<Request> requests_;  // waiting, oldest first
  uint64_t lastRequest_ = 0;
  uint64_t failures_ = 0;
  uint64_t dropped_ = 0;
  uint64_t unasked_ = 0;
  bool handling_ = false;  // a handler runs on the owner thread
};

}  // namespace orvelle
