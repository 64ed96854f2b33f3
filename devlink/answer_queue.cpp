#include "devlink/answer_queue.h"

#include <algorithm>

namespace orvelle {

bool AnswerQueue::Push(std::span<const uint8_t> frame) {
  std::lock_guard lock(mutex_);
  if (frames_.size() >= kLimit) {
    ++dropped_;
    return false;
  }
  Frame queued;
  queued.seq = ++arrived_;
  queued.length = std::min(frame.size(), queued.bytes.size());
  std::copy_n(frame.begin(), queued.length, queued.bytes.begin());
  frames_.push_back(queued);
  changed_.notify_all();
  return true;
}

void AnswerQueue::Handled() {
  std::lock_guard lock(mutex_);
  handled_ = ++arrived_;
  changed_.notify_all();
}

void AnswerQueue::Fail() {
  std::lock_guard lock(mutex_);
  ++failures_;
  changed_.notify_all();
}

AnswerQueue::Ticket AnswerQueue::Take() const {
  std::lock_guard lock(mutex_);
  return {arrived_, failures_};
}

AnswerQueue::WaitResult AnswerQueue::WaitForAnswer(AnswerSink* sink, Ticket ticket,
                                                   Clock::time_point deadline,
                                                   const WhileWaiting& idle) {
  return Run(sink, ticket, deadline, true, idle);
}

bool AnswerQueue::Pause(AnswerSink* sink, Ticket ticket, Clock::time_point deadline,
                        const WhileWaiting& idle) {
  return Run(sink, ticket, deadline, false, idle) != WaitResult::Failed;
}

void AnswerQueue::Drain(AnswerSink* sink) {
  Run(sink, Take(), Clock::now(), false, {});
}

AnswerQueue::WaitResult AnswerQueue::Run(AnswerSink* sink, Ticket ticket,
                                         Clock::time_point deadline, bool wantAnswer,
                                         const WhileWaiting& idle) {
  std::unique_lock lock(mutex_);
  // Inside a handler nothing is handed over, so the answer's arrival is all
  // a wait can see.
  const bool nested = handling_;
  for (;;) {
    if (wantAnswer && (nested ? arrived_ : handled_) > ticket.arrived) {
      return WaitResult::Answered;
    }
    if (failures_ != ticket.failures) return WaitResult::Failed;
    if (!handling_ && !frames_.empty()) {
      const Frame frame = frames_.front();
      frames_.pop_front();
      handling_ = true;
      lock.unlock();
      if (sink) sink->OnAnswer({frame.bytes.data(), frame.length});
      lock.lock();
      handling_ = false;
      handled_ = std::max(handled_, frame.seq);
      continue;
    }
    const auto now = Clock::now();
    if (now >= deadline) return WaitResult::TimedOut;
    if (!idle) {
      changed_.wait_until(lock, deadline);
      continue;
    }
    lock.unlock();
    idle();
    lock.lock();
    changed_.wait_until(lock, std::min(deadline, Clock::now() + kIdleStep));
  }
}

bool AnswerQueue::NeedsDrain() const {
  std::lock_guard lock(mutex_);
  return !handling_ && !frames_.empty();
}

void AnswerQueue::Clear() {
  std::lock_guard lock(mutex_);
  frames_.clear();
}

uint64_t AnswerQueue::Dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

}  // namespace orvelle
