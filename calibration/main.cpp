// Tessaly: full-screen touch calibration.
#include <QApplication>
#include <memory>
#include <string>
#include <vector>

#include "calibration/calibration_dlg.h"
#include "calibration/core/screen_choice.h"
#include "calibration/screen_setup.h"
#include "shell/shell_app.h"
#include "shell/termination_watch.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  std::vector<std::string> words;
  for (const QString& argument : QCoreApplication::arguments().mid(1))
    words.push_back(argument.toStdString());
  const orvelle::TakenOption screen = orvelle::TakeOption(words, orvelle::kScreenOption);
  const orvelle::TakenOption device = orvelle::TakeOption(screen.rest, orvelle::kDeviceOption);

  orvelle::CalibrationEnvironment environment;
  environment.display = orvelle::ChosenScreen(screen.value);
  environment.device = device.value.value_or("");
  orvelle::CCalibrationApp app(
      [&] { return std::make_unique<orvelle::CCalibrationDlg>(environment); });
  QStringList rest;
  for (const std::string& word : device.rest)
    rest.push_back(QString::fromStdString(word));
  app.SetArguments(rest);
  app.InitInstance();
  // Asked to end by a signal: the run has ended in the controller; the
  // process now ends as the signal asked.
  orvelle::TerminationWatch::EndAsReceived();
  return app.ExitCode();
}
