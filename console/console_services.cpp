#include "console/console_services.h"

#include <QFileDialog>
#include <QTimerEvent>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#ifndef ORVELLE_INSTALLED_BIN_DIR
#error "ORVELLE_INSTALLED_BIN_DIR must name the installed programs folder"
#endif

namespace orvelle::console {
namespace {

QString AskForFile(QWidget* owner, QFileDialog::AcceptMode mode, const QString& filter,
                   const QString& defaultSuffix) {
  QFileDialog dialog(owner);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                     : QFileDialog::ExistingFile);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

#ifndef _WIN32
constexpr int kEndPollMs = 250;
#endif

}  // namespace

QString QtFileDialogs::SaveFileName(QWidget* owner, const QString& filter,
                                    const QString& defaultSuffix) {
  return AskForFile(owner, QFileDialog::AcceptSave, filter, defaultSuffix);
}

QString QtFileDialogs::OpenFileName(QWidget* owner, const QString& filter,
                                    const QString& defaultSuffix) {
  return AskForFile(owner, QFileDialog::AcceptOpen, filter, defaultSuffix);
}

SystemProgramLauncher::SystemProgramLauncher(std::string consoleProgram)
    : consoleProgram_(std::move(consoleProgram)) {}

// A calibration program still running goes on after the console ends.
SystemProgramLauncher::~SystemProgramLauncher() = default;

LaunchResult SystemProgramLauncher::StartCalibrationProgram(const std::string& screen,
                                                            std::function<void()> ended) {
  const auto program =
      LocateCalibrationProgram(consoleProgram_, std::filesystem::path(ORVELLE_INSTALLED_BIN_DIR));
  long pid = 0;
  const LaunchResult result = StartProgram(program, CalibrationArguments(screen), pid);
  if (result != LaunchResult::Started) return result;
#ifndef _WIN32
  // Ends are seen by polling, which also collects every finished child; only
  // the latest start reports its end.
  started_.push_back(pid);
  latest_ = pid;
  ended_ = std::move(ended);
  if (timer_ == 0) timer_ = startTimer(kEndPollMs);
#endif
  return result;
}

void SystemProgramLauncher::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_) return QObject::timerEvent(event);
#ifndef _WIN32
  std::erase_if(started_, [this](long pid) {
    if (::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG) == 0) return false;
    if (pid == latest_) {
      latest_ = 0;
      if (auto ended = std::exchange(ended_, nullptr)) ended();
    }
    return true;
  });
#endif
  if (started_.empty()) {
    killTimer(timer_);
    timer_ = 0;
  }
}

}  // namespace orvelle::console
