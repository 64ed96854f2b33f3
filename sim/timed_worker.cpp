#include "sim/timed_worker.h"

namespace orvelle {

TimedWorker::TimedWorker() : thread_(&TimedWorker::Loop, this) {}

TimedWorker::~TimedWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void TimedWorker::Schedule(Clock::time_point due, std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push(Task{due, nextOrder_++, std::move(task)});
  }
  changed_.notify_all();
}

size_t TimedWorker::Pending() const {
  std::lock_guard lock(mutex_);
  return tasks_.size();
}

void TimedWorker::Loop() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (tasks_.empty()) {
      changed_.wait(lock);
      continue;
    }
    const auto due = tasks_.top().due;
    if (due > Clock::now()) {
      changed_.wait_until(lock, due);
      continue;
    }
    std::function<void()> run = std::move(const_cast<Task&>(tasks_.top()).run);
    tasks_.pop();
    lock.unlock();
    run();
    lock.lock();
  }
}

}  // namespace orvelle
