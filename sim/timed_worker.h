#pragma once
// One thread that runs tasks when they come due: delayed answers, touch
// streams and scripted target touches of the simulated controller.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

namespace orvelle {

class TimedWorker {
 public:
  using Clock = std::chrono::steady_clock;

  TimedWorker();
  ~TimedWorker();  // drops tasks not yet due and joins
  TimedWorker(const TimedWorker&) = delete;
  TimedWorker& operator=(const TimedWorker&) = delete;

  // Tasks that come due together run in the order they were scheduled. A task
  // may schedule further tasks.
  void Schedule(Clock::time_point due, std::function<void()> task);
  size_t Pending() const;

 private:
  struct Task {
    Clock::time_point due;
    uint64_t order = 0;
    std::function<void()> run;
    bool operator>(const Task& other) const {
      return due != other.due ? due > other.due : order > other.order;
    }
  };
  void Loop();

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::priority_queue<Task, std::vector<Task>, std::greater<Task>> tasks_;
  uint64_t nextOrder_ = 0;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace orvelle
