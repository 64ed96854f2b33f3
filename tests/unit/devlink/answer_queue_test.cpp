// The answer queue on one thread: the test plays the readers by pushing
// frames and failures from inside the handlers, where a message box would let
// the window's timers and the readers run.
#include "devlink/answer_queue.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/support/recording_sink.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;
using Result = AnswerQueue::WaitResult;
constexpr auto kHour = 3600s;

using Script = testing::RecordingSink;  // frame n is {n}

void Push(AnswerQueue& q, uint8_t n) {
  const uint8_t frame[] = {n};
  q.Push(frame);
}

AnswerQueue::Clock::time_point In(std::chrono::milliseconds d) {
  return AnswerQueue::Clock::now() + d;
}

// Runs one scenario on a fresh queue: the wait's result, and the frames
// handed over, in order.
void Check(const char* what, Result expected, const std::vector<uint8_t>& handled,
           const std::function<Result(AnswerQueue&, Script&)>& run) {
  SCOPED_TRACE(what);
  AnswerQueue queue;
  Script sink;
  EXPECT_EQ(run(queue, sink), expected);
  std::vector<uint8_t> got;
  for (const auto& frame : sink.Frames())
    got.push_back(frame[0]);
  EXPECT_EQ(got, handled);
  EXPECT_LE(sink.MaxDepth(), 1) << "handlers never nest";
}

TEST(AnswerQueue, WaitsEndAsTheyShould) {
  Check("frames queued before the request do not answer it", Result::TimedOut, {1},
        [](AnswerQueue& q, Script& s) {
          Push(q, 1);
          return q.WaitForAnswer(&s, q.Take(), In(10ms));
        });
  Check("the first frame after the request answers it, once handled", Result::Answered, {1, 2},
        [](AnswerQueue& q, Script& s) {
          Push(q, 1);
          const auto ticket = q.Take();
          Push(q, 2);
          Push(q, 3);
          return q.WaitForAnswer(&s, ticket, In(kHour));
        });
  Check("a failure ends the wait at once, frames stay queued", Result::Failed, {},
        [](AnswerQueue& q, Script& s) {
          const auto ticket = q.Take();
          q.Fail();
          Push(q, 1);
          return q.WaitForAnswer(&s, ticket, In(kHour));
        });
  Check("a failure inside a handler ends the outer wait", Result::Failed, {1},
        [](AnswerQueue& q, Script& s) {
          s.RunInsideFirst([&] { q.Fail(); });
          const auto ticket = q.Take();
          Push(q, 1);
          return q.Pause(&s, ticket, In(kHour)) ? Result::Answered : Result::Failed;
        });
  Check("a request inside a handler is answered by arrival, handed over after", Result::Answered,
        {1, 2}, [](AnswerQueue& q, Script& s) {
          Result inner = Result::Failed;
          s.RunInsideFirst([&] {
            const auto ticket = q.Take();
            Push(q, 2);  // the answer comes while the box is open
            inner = q.WaitForAnswer(&s, ticket, In(kHour));
          });
          Push(q, 1);
          q.Drain(&s);
          return inner;
        });
  Check("a pause inside a handler hands nothing over; arrival order is kept", Result::Answered,
        {1, 3, 2}, [](AnswerQueue& q, Script& s) {
          s.RunInsideFirst([&] {
            Push(q, 2);
            q.Pause(&s, q.Take(), In(5ms));
          });
          Push(q, 1);
          Push(q, 3);
          q.Drain(&s);
          return Result::Answered;
        });
  Check("handled on the reader thread: counted, never queued", Result::Answered, {},
        [](AnswerQueue& q, Script& s) {
          const auto ticket = q.Take();
          q.Handled();
          return q.WaitForAnswer(&s, ticket, In(kHour));
        });
}

TEST(AnswerQueue, DropsTheNewestWhenTheOwnerFallsBehind) {
  AnswerQueue queue;
  const uint8_t frame[] = {2};
  for (size_t i = 0; i < 8192; ++i)
    ASSERT_TRUE(queue.Push(frame)) << i;
  EXPECT_FALSE(queue.Push(frame)) << "the queue holds 8,192 frames";
  EXPECT_EQ(queue.Dropped(), 1u);
  EXPECT_TRUE(queue.NeedsDrain());
}

}  // namespace
}  // namespace orvelle
