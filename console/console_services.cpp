#include "console/console_services.h"

#include <QFileDialog>
#include <QTimerEvent>

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

constexpr int kEndPollMs = 250;

}  // namespace

QString QtFileDialogs::SaveFileName(QWidget* owner, const QString& filter,
                                    const QString& defaultSuffix) {
  return AskForFile(owner, QFileDialog::AcceptSave, filter, defaultSuffix);
}

QString QtFileDialogs::OpenFileName(QWidget* owner, const QString& filter,
                                    const QString& defaultSuffix) {
  return AskForFile(owner, QFileDialog::AcceptOpen, filter, defaultSuffix);
}

// Read as UTF-8: a narrow string would be the system's 8-bit code page on
// Windows, and a folder named in Chinese would not be found.
SystemProgramLauncher::SystemProgramLauncher(const std::string& consoleProgram)
    : consoleProgram_(std::u8string(consoleProgram.begin(), consoleProgram.end())) {}

// A calibration program still running goes on after the console ends.
SystemProgramLauncher::~SystemProgramLauncher() = default;

LaunchResult SystemProgramLauncher::StartCalibrationProgram(const std::string& device,
                                                            const std::string& screen,
                                                            std::function<void()> ended) {
  const auto program =
      LocateCalibrationProgram(consoleProgram_, std::filesystem::path(ORVELLE_INSTALLED_BIN_DIR));
  StartedProgram started;
  const LaunchResult result = StartProgram(program, CalibrationArguments(device, screen), started);
  if (result != LaunchResult::Started) return result;
  // Ends are seen by polling while a program runs, which also collects every
  // finished one; only the latest start reports its end.
  latest_ = started.Id();
  started_.push_back(std::move(started));
  ended_ = std::move(ended);
  if (timer_ == 0) timer_ = startTimer(kEndPollMs);
  return result;
}

void SystemProgramLauncher::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_) return QObject::timerEvent(event);
  bool latestEnded = false;
  std::erase_if(started_, [&](StartedProgram& program) {
    if (!program.HasEnded()) return false;
    latestEnded = latestEnded || program.Id() == latest_;
    return true;
  });
  // Called once the list is consistent: the handler may start the next one.
  if (latestEnded) {
    latest_ = 0;
    if (auto ended = std::exchange(ended_, nullptr)) ended();
  }
  if (started_.empty()) {
    killTimer(timer_);
    timer_ = 0;
  }
}

}  // namespace orvelle::console
