#pragma once
// COrvelleFactoryConfig2App: shows the main dialog modally; the program ends
// when it closes. The tool carries its own Chinese texts and icon and loads
// no language pack.

#include <functional>
#include <memory>

namespace orvelle {

class CUSBTransfer;
class COrvelleFactoryConfig2Dlg;

class COrvelleFactoryConfig2App {
 public:
  using LinkFactory = std::function<std::unique_ptr<CUSBTransfer>()>;

  // The factory link profile on the default bus.
  static std::unique_ptr<CUSBTransfer> MakeProductionLink();

  COrvelleFactoryConfig2App();  // the production link
  explicit COrvelleFactoryConfig2App(LinkFactory makeLink);

  // Runs the main dialog. Returns false in every case, so the program ends.
  bool InitInstance();

  // The main dialog while it runs.
  COrvelleFactoryConfig2Dlg* MainWindow() const { return mainWindow_; }
  // How the last main dialog ended (QDialog::Accepted or Rejected).
  int DialogResult() const { return dialogResult_; }

 private:
  LinkFactory makeLink_;
  COrvelleFactoryConfig2Dlg* mainWindow_ = nullptr;
  int dialogResult_ = 0;
};

}  // namespace orvelle
