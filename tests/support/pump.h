#pragma once
// Runs the window thread's events until a condition holds, as a program's
// own loop would while the test waits. Header-only; needs Qt Core.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <functional>

namespace orvelle::testing {

// False when `limit` passed first: the limit only ends a test that fails.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limit.count()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

}  // namespace orvelle::testing
