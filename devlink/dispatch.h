#pragma once
// Where answer handlers run.
//
// Without a dispatcher the link calls AnswerSink::OnAnswer on the reader thread
// that recognised the frame, and sets the answer event after it returns.
//
// With a dispatcher the reader thread only queues the frame and calls Post();
// the owner thread (the window's) hands queued frames to OnAnswer, in order and
// never nested, whenever it waits in SendAndWait or Pause, and when it calls
// DrainAnswers after Post() woke it. A reader therefore never blocks on the
// owner, and handlers may open modal message boxes safely: a request made in
// one is answered once its answer arrived, and the answer is handed over after
// the handler returned.
//
// While the owner thread waits in SendAndWait or Pause the link brackets the
// wait with WaitBegins/WaitEnds and calls WhileWaiting about every 15 ms, so
// that a window can keep painting without acting on user input.

#include <cstdint>
#include <span>

namespace orvelle {

class AnswerSink {
 public:
  virtual ~AnswerSink() = default;
  // One recognised frame: the report as received, at most 64 bytes.
  virtual void OnAnswer(std::span<const uint8_t> frame) = 0;
};

class AnswerDispatcher {
 public:
  virtual ~AnswerDispatcher() = default;
  // A frame was queued: arrange for the owner thread to call DrainAnswers()
  // soon. Called on reader threads; must not block.
  virtual void Post() = 0;

  // Owner thread. Waits nest (a handler run inside a wait may wait itself).
  virtual void WaitBegins() {}
  virtual void WhileWaiting() {}
  virtual void WaitEnds() {}
};

}  // namespace orvelle
