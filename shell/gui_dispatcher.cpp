#include "shell/gui_dispatcher.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimerEvent>
#include <utility>

#include "devlink/usb_transfer.h"

namespace orvelle {

GuiAnswerDispatcher::GuiAnswerDispatcher(CUSBTransfer& link, QObject* parent)
    : QObject(parent), link_(link) {
  link_.SetDispatcher(this);
}

GuiAnswerDispatcher::~GuiAnswerDispatcher() {
  link_.SetDispatcher(nullptr);
  if (drainTimer_ != 0) killTimer(drainTimer_);
  if (waits_ > 0) {
    if (qGuiApp) QGuiApplication::restoreOverrideCursor();
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
  }
}

void GuiAnswerDispatcher::Post() {
  if (drainPending_.exchange(true)) return;
  // Timers start on the window thread.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (drainTimer_ == 0) drainTimer_ = startTimer(kDrainInterval, Qt::PreciseTimer);
      },
      Qt::QueuedConnection);
}

void GuiAnswerDispatcher::timerEvent(QTimerEvent* event) {
  if (event->timerId() != drainTimer_) return QObject::timerEvent(event);
  killTimer(std::exchange(drainTimer_, 0));
  Drain();
}

void GuiAnswerDispatcher::Pause(std::chrono::milliseconds duration) {
  link_.Pause(duration);
}

void GuiAnswerDispatcher::Drain() {
  // Cleared first: a frame queued while the handlers run posts a new drain.
  drainPending_.store(false);
  // A waiting link hands the frames over itself, outside the idle processing.
  if (idleLevel_ != 0) return;
  link_.DrainAnswers();
}

void GuiAnswerDispatcher::WhenIdle(std::function<void()> work) {
  if (waits_ == 0) {
    work();
    return;
  }
  afterWait_.push_back(std::move(work));
}

void GuiAnswerDispatcher::WaitBegins() {
  if (waits_++ > 0) return;
  if (qGuiApp) QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

void GuiAnswerDispatcher::WhileWaiting() {
  // Paint and expose events, queued calls; the platform keeps user input.
  const int outer = std::exchange(idleLevel_, waits_);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  idleLevel_ = outer;
}

void GuiAnswerDispatcher::WaitEnds() {
  if (--waits_ > 0) return;
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
  if (qGuiApp) QGuiApplication::restoreOverrideCursor();
  // The platform kept the user's input during the wait; X11's event source
  // hands it on only when the loop is woken, or a key pressed during the wait
  // would lie there until the next event from the server (a mouse move).
  if (QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance()) loop->wakeUp();
  // Work deferred by the wait may wait itself; it starts from a clean list.
  for (auto& work : std::exchange(afterWait_, {}))
    work();
}

bool GuiAnswerDispatcher::eventFilter(QObject* watched, QEvent* event) {
  // The drain's own timer is never held back: a lost one would leave the
  // frames queued behind it for good.
  if (waits_ == 0 || idleLevel_ != waits_ || watched == this)
    return QObject::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Timer:
    case QEvent::Close:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
      event->ignore();
      return true;
    default:
      return QObject::eventFilter(watched, event);
  }
}

}  // namespace orvelle
