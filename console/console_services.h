#pragma once
// The console's file dialogs and program start, behind interfaces so that
// tests choose paths without a dialog and start no process.

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "console/core/program_launch.h"

class QWidget;

namespace orvelle::console {

class FileDialogService {
 public:
  virtual ~FileDialogService() = default;
  // The chosen full path; empty when the user cancelled. `defaultSuffix` is
  // added to a name without one; the save dialog asks before overwriting.
  virtual QString SaveFileName(QWidget* owner, const QString& filter,
                               const QString& defaultSuffix) = 0;
  virtual QString OpenFileName(QWidget* owner, const QString& filter,
                               const QString& defaultSuffix) = 0;
};

// The toolkit's dialogs, modal.
class QtFileDialogs : public FileDialogService {
 public:
  QString SaveFileName(QWidget* owner, const QString& filter,
                       const QString& defaultSuffix) override;
  QString OpenFileName(QWidget* owner, const QString& filter,
                       const QString& defaultSuffix) override;
};

class ProgramLauncher {
 public:
  virtual ~ProgramLauncher() = default;
  // Starts the calibration program for the controller at `device` on `screen`
  // (a name or number; empty: the primary screen); `ended` runs on the window
  // thread once the program started here has ended.
  virtual LaunchResult StartCalibrationProgram(const std::string& device, const std::string& screen,
                                               std::function<void()> ended) = 0;
};

// Starts the calibration program found beside `consoleProgram`, else in the
// installed programs folder, and watches for its end.
class SystemProgramLauncher : public QObject, public ProgramLauncher {
 public:
  // `consoleProgram` is UTF-8, as every path the programs hold in a string.
  explicit SystemProgramLauncher(const std::string& consoleProgram);
  ~SystemProgramLauncher() override;
  LaunchResult StartCalibrationProgram(const std::string& device, const std::string& screen,
                                       std::function<void()> ended) override;

 private:
  void timerEvent(QTimerEvent* event) override;

  std::filesystem::path consoleProgram_;
  std::vector<StartedProgram> started_;  // not yet seen to end
  long latest_ = 0;
  int timer_ = 0;
  std::function<void()> ended_;
};

}  // namespace orvelle::console
