#pragma once
// COrvelleConsoleDlg: the console's main window. A tab control with five
// pages, a status line that says whether the controller is connected, and an
// icon in the notification area. It opens the controller at start-up and
// when one arrives, and routes every answer frame to the page that can use
// it, on the window thread. With several controllers plugged in, the user
// chooses the one it shows (and is kept for the next start); the others'
// arrivals and removals change the choice offered, never the one shown.

#include <QDialog>
#include <QMenu>
#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "console/controller_group.h"
#include "devlink/controller_order.h"
#include "devlink/dispatch.h"
#include "devlink/hid/bus.h"

class QComboBox;
class QSystemTrayIcon;
class QTabWidget;

namespace orvelle {
class CUSBTransfer;
class GuiAnswerDispatcher;
class OsVersion;
class Registry;
}  // namespace orvelle

namespace orvelle::console {

class CCalibrationDlg;
class CInfoDlg;
class COptionsDlg;
class ConsolePage;
class FileDialogService;
class LogonEntry;
class ProgramLauncher;

// What the console takes from the machine; tests put in their own.
struct ConsoleEnvironment {
  CUSBTransfer* link = nullptr;              // null: CUSBTransfer::Instance()
  Registry* registry = nullptr;              // null: the system's settings store
  LogonEntry* logonEntry = nullptr;          // null: the platform's log-on entry
  std::string programPath;                   // empty: this program's file
  FileDialogService* fileDialogs = nullptr;  // null: the toolkit's dialogs
  ProgramLauncher* launcher = nullptr;       // null: starts the calibration program for real
  std::optional<bool> trayAvailable;         // none: ask the desktop
  const OsVersion* osVersion = nullptr;      // null: the running system
};

class COrvelleConsoleDlg : public QDialog, public AnswerSink {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 102;
  enum : int {
    IDC_TAB = 1004,
    IDC_STATUS = 1020,
    IDC_CONTROLLER = 1021,
    IDC_CONTROLLER_LABEL = 1022
  };
  static constexpr int kTrayIconId = 128;
  static constexpr unsigned kLeftButtonDoubleClick = 0x0203;
  static constexpr unsigned kRightButtonUp = 0x0205;
  static constexpr int kAboutCommand = 0x0010;

  explicit COrvelleConsoleDlg(ConsoleEnvironment environment = {}, QWidget* parent = nullptr);
  ~COrvelleConsoleDlg() override;

  // Everything before the window is first shown; then the window's own loop.
  bool OnInitDialog();
  int exec() override;
  // Shown, minimised, or only the notification icon after a hidden start.
  void ShowInitially();

  bool ConnectAndShowStatus();
  // Shows the controller at `path` from now on, and keeps the choice.
  void ShowController(const std::string& path);
  void LayoutPages();
  void AddTrayIcon();
  void StartHidden();
  int OnTrayNotify(int iconId, unsigned mouseMessage);
  void OnTabSelChange();
  void OnAnswer(std::span<const uint8_t> frame) override;
  void OnDeviceChange(const DeviceNotice& notice);
  void OnSysCommand(int command);

  CUSBTransfer& Link() { return link_; }
  QString StatusText() const { return statusText_; }
  int CurrentTab() const { return currentTab_; }
  QTabWidget* TabControl() const { return tabs_; }
  QComboBox* ControllerChoice() const { return controllers_; }
  ConsolePage* Page(int tab) const;
  CInfoDlg& InfoPage() const { return *infoPage_; }
  CCalibrationDlg& CalibrationPage() const { return *calibrationPage_; }
  const CalibrationProgramRun& CalibrationProgram() const { return calibrationProgram_; }
  COptionsDlg& OptionsPage() const { return *optionsPage_; }
  QSystemTrayIcon* TrayIcon() const { return trayIcon_.get(); }
  QMenu& TrayMenu() { return trayMenu_; }
  bool TrayAvailable() const;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void AddAboutItem();
  void AddTabKeys();
  void RegisterForDeviceChanges();
  void CreatePages();
  void UpdateData();
  void ShowWindowAgain();
  void OnControllerArrived();
  void OnControllerRemoved();
  // Points the link at the controller to show among those present.
  void ChooseControllerToShow(const std::vector<FoundController>& found);
  void UpdateControllerChoice(const std::vector<FoundController>& found);
  // Once the notices of a plug or unplug (one per collection) are handled.
  void UpdateControllerChoiceSoon();

  ConsoleEnvironment environment_;
  std::unique_ptr<Registry> ownRegistry_;
  std::unique_ptr<LogonEntry> ownLogonEntry_;
  std::unique_ptr<FileDialogService> ownFileDialogs_;
  std::unique_ptr<ProgramLauncher> ownLauncher_;
  CUSBTransfer& link_;
  std::unique_ptr<GuiAnswerDispatcher> dispatcher_;
  std::unique_ptr<DeviceWatch> watch_;
  CalibrationProgramRun calibrationProgram_;

  QTabWidget* tabs_ = nullptr;
  QComboBox* controllers_ = nullptr;
  bool controllerChoiceDue_ = false;
  QString statusText_;
  int currentTab_ = 0;
  CInfoDlg* infoPage_ = nullptr;
  CCalibrationDlg* calibrationPage_ = nullptr;
  COptionsDlg* optionsPage_ = nullptr;
  std::array<ConsolePage*, 5> pages_{};
  std::unique_ptr<QSystemTrayIcon> trayIcon_;
  QMenu trayMenu_;
  QMenu systemMenu_;
  bool initialised_ = false;
  bool startHidden_ = false;
  bool toldCannotOpen_ = false;
};

}  // namespace orvelle::console
