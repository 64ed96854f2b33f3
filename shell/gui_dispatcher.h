#pragma once
// The answer dispatcher on the window thread: reader threads only queue a
// recognised frame and wake this object; the window thread hands the frames
// to the program's handlers when it is idle, and while it waits in the link's
// SendAndWait or Pause. So handlers touch widgets safely and open their
// message boxes on the window thread.
//
// While the window thread waits, its windows keep painting under a busy
// cursor; user input, window closes and timer ticks are not acted on (a
// blocked window thread would not see them either; the platform keeps user
// input until the wait ends). Work that must not run inside a wait, such as a
// device notice that re-opens the link, goes through WhenIdle.

#include <QObject>
#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

#include "devlink/dispatch.h"

namespace orvelle {

class CUSBTransfer;

class GuiAnswerDispatcher final : public QObject, public AnswerDispatcher {
  Q_OBJECT

 public:
  // Create on the window thread. Attaches itself to `link` until destroyed.
  explicit GuiAnswerDispatcher(CUSBTransfer& link, QObject* parent = nullptr);
  ~GuiAnswerDispatcher() override;

  // Reader threads: one drain at a time, however many frames arrive. An
  // idle window drains at most every kDrainInterval: a stream of raw touch
  // reports then wakes it a hundred times a second, not a thousand.
  void Post() override;
  static constexpr std::chrono::milliseconds kDrainInterval{8};

  // Every wait on the window thread goes through here, so queued answers keep
  // being handled while it waits.
  void Pause(std::chrono::milliseconds duration);

  // Window thread: runs `work` now, or when the wait under way has ended.
  void WhenIdle(std::function<void()> work);
  bool Waiting() const { return waits_ > 0; }

  void WaitBegins() override;
  void WhileWaiting() override;
  void WaitEnds() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void Drain();

  CUSBTransfer& link_;
  std::atomic<bool> drainPending_{false};
  int drainTimer_ = 0;
  int waits_ = 0;
  // The wait whose idle processing runs now (0: none). Only there are input
  // and ticks held back: a handler's message box, even inside a wait, works.
  int idleLevel_ = 0;
  std::vector<std::function<void()>> afterWait_;
};

}  // namespace orvelle
