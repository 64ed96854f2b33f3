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
// owner, and handlers may open modal message boxes safely.

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
};

}  // namespace orvelle
