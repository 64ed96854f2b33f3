#pragma once
// An answer sink that keeps every frame handed to it and the thread it came
// on, and can run code inside its first handler, as a handler with a message
// box open lets other code run; and a log of a watch's device notices.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <utility>
#include <vector>

#include "devlink/usb_transfer.h"

namespace orvelle::testing {

class RecordingSink : public AnswerSink {
 public:
  void OnAnswer(std::span<const uint8_t> frame) override {
    std::function<void()> inside;
    {
      std::lock_guard lock(mutex_);
      frames_.emplace_back(frame.begin(), frame.end());
      threads_.push_back(std::this_thread::get_id());
      maxDepth_ = std::max(maxDepth_, ++depth_);
      if (frames_.size() == 1) inside = inside_;
    }
    if (inside) inside();
    std::lock_guard lock(mutex_);
    --depth_;
    ++handled_;
    changed_.notify_all();
  }
  void RunInsideFirst(std::function<void()> inside) {
    std::lock_guard lock(mutex_);
    inside_ = std::move(inside);
  }
  std::vector<std::vector<uint8_t>> Frames() {
    std::lock_guard lock(mutex_);
    return frames_;
  }
  std::vector<std::thread::id> Threads() {
    std::lock_guard lock(mutex_);
    return threads_;
  }
  std::vector<uint8_t> Last() {
    std::lock_guard lock(mutex_);
    return frames_.empty() ? std::vector<uint8_t>{} : frames_.back();
  }
  // Handlers that returned.
  size_t Count() {
    std::lock_guard lock(mutex_);
    return handled_;
  }
  size_t Count(uint8_t reportId, uint8_t code) {
    std::lock_guard lock(mutex_);
    return CountLocked(reportId, code);
  }
  // Most handlers that ran at once (nested).
  int MaxDepth() {
    std::lock_guard lock(mutex_);
    return maxDepth_;
  }
  bool WaitFor(size_t n, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return handled_ >= n; });
  }
  bool WaitForCount(uint8_t reportId, uint8_t code, size_t n,
                    std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return CountLocked(reportId, code) >= n; });
  }

 private:
  size_t CountLocked(uint8_t reportId, uint8_t code) const {
    size_t n = 0;
    for (const auto& f : frames_)
      n += f.size() > 1 && f[0] == reportId && f[1] == code;
    return n;
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::vector<uint8_t>> frames_;
  std::vector<std::thread::id> threads_;
  std::function<void()> inside_;
  size_t handled_ = 0;
  int depth_ = 0;
  int maxDepth_ = 0;
};

class NoticeLog {
 public:
  using Clock = std::chrono::steady_clock;
  HidBus::NoticeCallback Callback() {
    return [this](const DeviceNotice& n) {
      std::lock_guard lock(mutex_);
      notices_.push_back(n);
      times_.push_back(Clock::now());
      changed_.notify_all();
    };
  }
  // Waits until `count` notices came (within a limit that only ends a
  // failing test) and takes every notice so far.
  std::vector<DeviceNotice> Take(size_t count = 1) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return notices_.size() >= count; });
    times_.clear();
    return std::exchange(notices_, {});
  }
  // When the next notice of `kind` came, taking it and those before it;
  // nullopt when none came within a limit that only ends a failing test.
  std::optional<Clock::time_point> Next(DeviceNotice::Kind kind) {
    std::unique_lock lock(mutex_);
    std::optional<Clock::time_point> when;
    changed_.wait_for(lock, std::chrono::seconds(10), [&] {
      while (!when && !notices_.empty()) {
        if (notices_.front().kind == kind) when = times_.front();
        notices_.erase(notices_.begin());
        times_.erase(times_.begin());
      }
      return when.has_value();
    });
    return when;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<DeviceNotice> notices_;
  std::vector<Clock::time_point> times_;
};

}  // namespace orvelle::testing
