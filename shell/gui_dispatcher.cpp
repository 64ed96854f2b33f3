#include "shell/gui_dispatcher.h"

#include "devlink/usb_transfer.h"

namespace orvelle {

GuiAnswerDispatcher::GuiAnswerDispatcher(CUSBTransfer& link, QObject* parent)
    : QObject(parent), link_(link) {
  link_.SetDispatcher(this);
}

GuiAnswerDispatcher::~GuiAnswerDispatcher() {
  link_.SetDispatcher(nullptr);
}

void GuiAnswerDispatcher::Post() {
  if (drainPending_.exchange(true)) return;
  QMetaObject::invokeMethod(this, &GuiAnswerDispatcher::Drain, Qt::QueuedConnection);
}

void GuiAnswerDispatcher::Pause(std::chrono::milliseconds duration) {
  link_.Pause(duration);
}

void GuiAnswerDispatcher::Drain() {
  // Cleared first: a frame queued while the handlers run posts a new drain.
  drainPending_.store(false);
  link_.DrainAnswers();
}

}  // namespace orvelle
