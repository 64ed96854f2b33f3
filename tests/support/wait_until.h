#pragma once
// Waits for another thread to reach a state. The limit only ends a test that
// fails: it is never what a passing test waits for.

#include <chrono>
#include <functional>
#include <thread>

namespace orvelle::testing {

// How long a test waits for a state, here and with Qt's QTest::qWaitFor.
inline constexpr int kWaitLimitMs = 20'000;

// `step` is how often `done` is asked: longer where asking is costly (a
// process started to look at a window).
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::milliseconds(kWaitLimitMs),
                      std::chrono::milliseconds step = std::chrono::milliseconds(1)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(step);
  }
  return true;
}

}  // namespace orvelle::testing
