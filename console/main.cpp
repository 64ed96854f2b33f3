// OrvelleConsole: the touch frame's control panel.
#include <QApplication>
#include <memory>

#include "console/console_dlg.h"
#include "shell/shell_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // The window may hide in the notification area; the program ends with the dialog.
  QApplication::setQuitOnLastWindowClosed(false);
  orvelle::COrvelleConsoleApp app(
      [] { return std::make_unique<orvelle::console::COrvelleConsoleDlg>(); });
  app.InitInstance();
  return app.ExitCode();
}
