// OrvelleConsole: the touch frame's control panel.
#include <QApplication>
#include <QPointer>
#include <memory>

#include "console/console_dlg.h"
#include "platform/single_instance.h"
#include "shell/shell_app.h"

int main(int argc, char** argv) {
  using orvelle::console::COrvelleConsoleDlg;
  QApplication application(argc, argv);
  // One console per user session: a second start shows the first one's window.
  QPointer<COrvelleConsoleDlg> window;
  orvelle::SingleInstance single("OrvelleConsole");
  if (single.TellRunning()) return 0;
  const bool claimed = single.Claim([&window] {
    QMetaObject::invokeMethod(
        qApp,
        [&window] {
          if (window)
            window->OnTrayNotify(COrvelleConsoleDlg::kTrayIconId,
                                 COrvelleConsoleDlg::kLeftButtonDoubleClick);
        },
        Qt::QueuedConnection);
  });
  // Another start claimed the session meanwhile.
  if (!claimed && single.TellRunning()) return 0;

  // The window may hide in the notification area; the program ends with the dialog.
  QApplication::setQuitOnLastWindowClosed(false);
  orvelle::COrvelleConsoleApp app([&window] {
    auto dialog = std::make_unique<COrvelleConsoleDlg>();
    window = dialog.get();
    return dialog;
  });
  app.InitInstance();
  return app.ExitCode();
}
