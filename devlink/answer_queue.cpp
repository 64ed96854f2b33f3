#include "devlink/answer_queue.h"

#include <algorithm>

namespace orvelle {

AnswerQueue::Request* AnswerQueue::Answering(std::span<const uint8_t> frame) {
  for (Request& r : requests_) {
    if (!r.arrived && r.answer.Matches(frame)) {
      r.arrived = true;
      return &r;
    }
  }
  return nullptr;
}

AnswerQueue::Request* AnswerQueue::Find(uint64_t id) {
  const auto it = std::find_if(requests_.begin(), requests_.end(),
                               [id](const Request& r) { return r.id == id; });
  return it == requests_.end() ? nullptr : &*it;
}

bool AnswerQueue::Push(std::span<const uint8_t> frame, bool unasked) {
  std::lock_guard lock(mutex_);
  if (frames_.size() >= kLimit) {
    ++dropped_;
    return false;
  }
  Request* answered = Answering(frame);
  if (!answered && !unasked) {
    ++unasked_;
    return false;
  }
  Frame queued;
  queued.request = answered ? answered->id : 0;
  queued.length = std::min(frame.size(), queued.bytes.size());
  std::copy_n(frame.begin(), queued.length, queued.bytes.begin());
  frames_.push_back(queued);
  changed_.notify_all();
  return true;
}

std::optional<uint64_t> AnswerQueue::Claim(std::span<const uint8_t> frame, bool unasked) {
  std::lock_guard lock(mutex_);
  if (Request* answered = Answering(frame)) return answered->id;
  if (unasked) return 0;
  ++unasked_;
  return std::nullopt;
}

void AnswerQueue::Handled(uint64_t request) {
  std::lock_guard lock(mutex_);
  if (Request* r = Find(request)) r->handled = true;
  changed_.notify_all();
}

void AnswerQueue::Fail() {
  std::lock_guard lock(mutex_);
  ++failures_;
  changed_.notify_all();
}

AnswerQueue::Ticket AnswerQueue::Expect(const AnswerPattern& answer) {
  std::lock_guard lock(mutex_);
  requests_.push_back({++lastRequest_, answer});
  return {lastRequest_, failures_};
}

void AnswerQueue::Withdraw(Ticket ticket) {
  std::lock_guard lock(mutex_);
  Forget(ticket.request, false);
}

void AnswerQueue::Forget(uint64_t id, bool answered) {
  // An answer that ended a wait begun inside a handler is still to be handed
  // over: its request stays until then.
  const auto it = std::find_if(requests_.begin(), requests_.end(),
                               [id](const Request& r) { return r.id == id; });
  if (it == requests_.end()) return;
  if (answered && !it->handled) {
    it->waitEnded = true;
  } else {
    requests_.erase(it);
  }
}

AnswerQueue::Ticket AnswerQueue::Take() const {
  std::lock_guard lock(mutex_);
  return {0, failures_};
}

AnswerQueue::WaitResult AnswerQueue::WaitForAnswer(AnswerSink* sink, Ticket ticket,
                                                   Clock::time_point deadline,
                                                   const WhileWaiting& idle) {
  const WaitResult result = Run(sink, ticket, deadline, true, idle);
  std::lock_guard lock(mutex_);
  Forget(ticket.request, result == WaitResult::Answered);
  return result;
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
    if (wantAnswer) {
      const Request* r = Find(ticket.request);
      if (r && (nested ? r->arrived : r->handled)) return WaitResult::Answered;
    }
    if (failures_ != ticket.failures) return WaitResult::Failed;
    if (!handling_ && !frames_.empty()) {
      const Frame frame = frames_.front();
      frames_.pop_front();
      // The answer of a request whose wait has ended is late: dropped.
      if (frame.request != 0 && !Find(frame.request)) {
        ++unasked_;
        continue;
      }
      handling_ = true;
      lock.unlock();
      if (sink) sink->OnAnswer({frame.bytes.data(), frame.length});
      lock.lock();
      handling_ = false;
      if (Request* r = Find(frame.request)) {
        r->handled = true;
        if (r->waitEnded) Forget(r->id, true);
      }
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

uint64_t AnswerQueue::Unasked() const {
  std::lock_guard lock(mutex_);
  return unasked_;
}

}  // namespace orvelle
