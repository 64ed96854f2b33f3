#include "shell/termination_watch.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace orvelle {
namespace {

std::atomic<int> received{0};
TerminationWatch* active = nullptr;

#ifdef _WIN32
// Runs on a thread of the system's own: the window thread does the ending.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT &&
      event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
    return FALSE;
  }
  if (TerminationWatch* watch = active) {
    QMetaObject::invokeMethod(
        watch, [watch] { watch->Notice(); }, Qt::QueuedConnection);
  }
  // The system ends the process once this returns: give the run its end.
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    Sleep(3000);
  return TRUE;
}
#else
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int signalPipe[2] = {-1, -1};

void OnSignal(int signal) {
  const int saved = errno;
  received.store(signal);
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t n = write(signalPipe[1], &byte, 1);
  errno = saved;
}
#endif

}  // namespace

TerminationWatch::TerminationWatch(std::function<void()> ended, QObject* parent)
    : QObject(parent), ended_(std::move(ended)) {
  active = this;
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  if (signalPipe[0] < 0 && pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    Notice();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : kSignals)
    sigaction(signal, &action, nullptr);
#endif
#ifndef QT_NO_SESSIONMANAGER
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { Notice(); });
#endif
}

TerminationWatch::~TerminationWatch() {
  active = nullptr;
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
#else
  for (int signal : kSignals)
    std::signal(signal, SIG_DFL);
#endif
}

void TerminationWatch::Notice() {
  if (auto ended = std::exchange(ended_, nullptr)) ended();
}

int TerminationWatch::Received() {
  return received.load();
}

void TerminationWatch::EndAsReceived() {
#ifndef _WIN32
  if (const int signal = received.load()) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
  }
#endif
}

}  // namespace orvelle
