// The answer queue on one thread: the test plays the readers by pushing
// frames and failures from inside the handlers, where a message box would let
// the window's timers and the readers run. Frame n is a read answer of
// command n; the sink records the commands handed over.
#include "devlink/answer_queue.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/support/recording_sink.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;
using Result = AnswerQueue::WaitResult;
using Script = testing::RecordingSink;
constexpr auto kHour = 3600s;
constexpr bool kAsked = false, kUnasked = true;

std::vector<uint8_t> Answer(uint8_t n) {
  return {kCommandReportId, n, 1, kSubRead, kFrameTerminator};
}

bool Push(AnswerQueue& q, uint8_t n, bool unasked = kAsked) {
  return q.Push(Answer(n), unasked);
}

AnswerQueue::Ticket Expect(AnswerQueue& q, uint8_t n) {
  return q.Expect(AnswerPattern{kCommandReportId, n, true, kSubRead});
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
    got.push_back(frame[1]);
  EXPECT_EQ(got, handled);
  EXPECT_LE(sink.MaxDepth(), 1) << "handlers never nest";
}

TEST(AnswerQueue, OnlyItsOwnAnswerEndsAWait) {
  Check("an answer that came before its request is no answer to it", Result::TimedOut, {},
        [](AnswerQueue& q, Script& s) {
          EXPECT_FALSE(Push(q, 1));
          return q.WaitForAnswer(&s, Expect(q, 1), In(10ms));
        });
  Check("its answer ends it once handled; others' answers are dropped, unasked frames flow",
        Result::Answered, {8, 2}, [](AnswerQueue& q, Script& s) {
          const auto ticket = Expect(q, 2);
          EXPECT_FALSE(Push(q, 3));
          const std::vector<uint8_t> write = {kCommandReportId, 2, 1, kSubWrite, kFrameTerminator};
          EXPECT_FALSE(q.Push(write, kAsked)) << "another sub-function answers another request";
          Push(q, 8, kUnasked);
          Push(q, 2);
          EXPECT_FALSE(Push(q, 2)) << "a second copy answers nothing more";
          EXPECT_EQ(q.WaitForAnswer(&s, ticket, In(kHour)), Result::Answered);
          EXPECT_EQ(q.Unasked(), 3u) << "counted as nobody's";
          return Result::Answered;
        });
  Check("an answer that comes after its wait ended is dropped, queued or not", Result::TimedOut, {},
        [](AnswerQueue& q, Script& s) {
          const auto ticket = Expect(q, 4);
          const Result result = q.WaitForAnswer(&s, ticket, In(5ms));
          EXPECT_FALSE(Push(q, 4));
          q.Drain(&s);
          return result;
        });
  Check("handled on the reader thread: claimed, then counted", Result::Answered, {},
        [](AnswerQueue& q, Script& s) {
          const auto ticket = Expect(q, 5);
          EXPECT_FALSE(q.Claim(Answer(6), kAsked).has_value());
          EXPECT_EQ(q.Claim(Answer(6), kUnasked), std::optional<uint64_t>(0));
          const auto request = q.Claim(Answer(5), kAsked);
          EXPECT_EQ(request, std::optional<uint64_t>(ticket.request));
          q.Handled(*request);
          return q.WaitForAnswer(&s, ticket, In(kHour));
        });
}

TEST(AnswerQueue, WaitsInsideHandlersAndFailures) {
  Check("a failure ends the wait at once, frames stay queued", Result::Failed, {},
        [](AnswerQueue& q, Script& s) {
          const auto ticket = Expect(q, 1);
          q.Fail();
          Push(q, 1);
          return q.WaitForAnswer(&s, ticket, In(kHour));
        });
  Check("a failure inside a handler ends the outer wait", Result::Failed, {1},
        [](AnswerQueue& q, Script& s) {
          s.RunInsideFirst([&] { q.Fail(); });
          const auto ticket = q.Take();
          Push(q, 1, kUnasked);
          return q.Pause(&s, ticket, In(kHour)) ? Result::Answered : Result::Failed;
        });
  Check("a request inside a handler is answered by arrival, handed over after", Result::Answered,
        {1, 2}, [](AnswerQueue& q, Script& s) {
          Result inner = Result::Failed;
          s.RunInsideFirst([&] {
            const auto ticket = Expect(q, 2);
            Push(q, 2);  // the answer comes while the box is open
            inner = q.WaitForAnswer(&s, ticket, In(kHour));
          });
          Push(q, 1, kUnasked);
          q.Drain(&s);
          return inner;
        });
  Check("a pause inside a handler hands nothing over; arrival order is kept", Result::Answered,
        {1, 3, 2}, [](AnswerQueue& q, Script& s) {
          s.RunInsideFirst([&] {
            Push(q, 2, kUnasked);
            q.Pause(&s, q.Take(), In(5ms));
          });
          Push(q, 1, kUnasked);
          Push(q, 3, kUnasked);
          q.Drain(&s);
          return Result::Answered;
        });
}

TEST(AnswerQueue, DropsTheNewestWhenTheOwnerFallsBehind) {
  AnswerQueue queue;
  for (size_t i = 0; i < 8192; ++i)
    ASSERT_TRUE(Push(queue, 2, kUnasked)) << i;
  EXPECT_FALSE(Push(queue, 2, kUnasked)) << "the queue holds 8,192 frames";
  EXPECT_EQ(queue.Dropped(), 1u);
  EXPECT_TRUE(queue.NeedsDrain());
}

}  // namespace
}  // namespace orvelle
