// Tessaly: full-screen touch calibration.
#include <QApplication>
#include <memory>

#include "calibration/calibration_dlg.h"
#include "shell/shell_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  orvelle::CCalibrationApp app([] { return std::make_unique<orvelle::CCalibrationDlg>(); });
  app.InitInstance();
  return app.ExitCode();
}
