#pragma once
// A window program asked by the system to end (POSIX: SIGTERM, SIGHUP,
// SIGINT; Windows: the session's end, or its console closed) ends through its
// own cancel path instead of dying where it stands.

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace orvelle {

class TerminationWatch : public QObject {
 public:
  // `ended` runs on the window thread, once.
  explicit TerminationWatch(std::function<void()> ended, QObject* parent = nullptr);
  // The system's own handling is back.
  ~TerminationWatch() override;

  // The signal that asked the process to end (0: none, or not a signal);
  // once the program has ended cleanly it ends by that signal again.
  static int Received();
  static void EndAsReceived();

  // The system asked the program to end.
  void Notice();

 private:
  std::function<void()> ended_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace orvelle
