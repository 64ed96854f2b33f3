#pragma once
// The answer dispatcher on the window thread: reader threads only queue a
// recognised frame and wake this object; the window thread hands the frames
// to the program's handlers when it is idle, and while it waits in the link's
// SendAndWait or Pause. So handlers touch widgets safely and open their
// message boxes on the window thread.

#include <QObject>
#include <atomic>
#include <chrono>

#include "devlink/dispatch.h"

namespace orvelle {

class CUSBTransfer;

class GuiAnswerDispatcher final : public QObject, public AnswerDispatcher {
  Q_OBJECT

 public:
  // Create on the window thread. Attaches itself to `link` until destroyed.
  explicit GuiAnswerDispatcher(CUSBTransfer& link, QObject* parent = nullptr);
  ~GuiAnswerDispatcher() override;

  // Reader threads: one queued drain at a time, however many frames arrive.
  void Post() override;

  // Every wait on the window thread goes through here, so queued answers keep
  // being handled while it waits.
  void Pause(std::chrono::milliseconds duration);

 private:
  void Drain();

  CUSBTransfer& link_;
  std::atomic<bool> drainPending_{false};
};

}  // namespace orvelle
