#include "console/console_dlg.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <utility>

#include "console/about_page.h"
#include "console/calibration_dlg.h"
#include "console/config_dlg.h"
#include "console/console_services.h"
#include "console/controller_chooser.h"
#include "console/core/controller_choice.h"
#include "console/core/logon_entry.h"
#include "console/core/message_ids.h"
#include "console/core/routing.h"
#include "console/info_dlg.h"
#include "console/options_dlg.h"
#include "devlink/device_change.h"
#include "devlink/usb_transfer.h"
#include "platform/os_version.h"
#include "platform/registry.h"
#include "shell/about_dlg.h"
#include "shell/dialog_support.h"
#include "shell/gui_dispatcher.h"
#include "shell/language_library.h"
#include "shell/resource_message.h"

namespace orvelle::console {
namespace {

constexpr int kAboutEntryText = 101;
constexpr int kAppIcon = 128;
constexpr int kStatusConnected = 1081;
constexpr int kStatusNotConnected = 1082;
constexpr int kFirstTabCaption = 1110;
constexpr char kTrayTip[] = "OrvelleConsole";
// The notification menu's one item is the program's own text, not the pack's.
constexpr char16_t kExitItem[] = u"退出(&X)";

QIcon PackIcon(int id) {
  const LanguageLibrary* library = CurrentLanguageLibrary();
  return library ? library->Icon(id) : QIcon();
}

}  // namespace

COrvelleConsoleDlg::COrvelleConsoleDlg(ConsoleEnvironment environment, QWidget* parent)
    : QDialog(parent),
      environment_(std::move(environment)),
      link_(environment_.link ? *environment_.link : CUSBTransfer::Instance()) {
  setObjectName(QStringLiteral("COrvelleConsoleDlg"));
  LoadDialogTemplate(*this, kTemplateId);
  // The pages are laid out once, for the template's size.
  setFixedSize(size());
  setWindowIcon(PackIcon(kAppIcon));
  ConnectOkCancel(*this);
  tabs_ = DialogItemAs<QTabWidget>(*this, IDC_TAB);
  if (!tabs_) tabs_ = new QTabWidget(this);  // a damaged template still gets its pages
  controllers_ = DialogItemAs<QComboBox>(*this, IDC_CONTROLLER);
  if (controllers_) {
    connect(controllers_, &QComboBox::activated, this,
            [this](int index) { ShowController(ListedController(*controllers_, index)); });
  }
  UpdateControllerChoice({});

  if (!environment_.registry) {
    ownRegistry_ = OpenSystemRegistry();
    environment_.registry = ownRegistry_.get();
  }
  if (!environment_.logonEntry) {
    ownLogonEntry_ = MakeSystemLogonEntry(*environment_.registry);
    environment_.logonEntry = ownLogonEntry_.get();
  }
  if (environment_.programPath.empty()) {
    // Qt names files with '/'; the log-on entry is read by Windows' shell.
    environment_.programPath =
        QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toStdString();
  }
  if (!environment_.fileDialogs) {
    ownFileDialogs_ = std::make_unique<QtFileDialogs>();
    environment_.fileDialogs = ownFileDialogs_.get();
  }
  if (!environment_.launcher) {
    ownLauncher_ = std::make_unique<SystemProgramLauncher>(environment_.programPath);
    environment_.launcher = ownLauncher_.get();
  }

  dispatcher_ = std::make_unique<GuiAnswerDispatcher>(link_);
  link_.SetOutOfMemoryHandler(
      [] { ShowResourceMessage(kMsgOutOfMemory, kMsgErrorCaption, kMbOk | kMbIconError, {}); });
  trayMenu_.addAction(QString::fromUtf16(kExitItem), this, &QDialog::reject);
}

COrvelleConsoleDlg::~COrvelleConsoleDlg() {
  // Notices and reader threads end before the objects they call into.
  watch_.reset();
  link_.SetOwner(nullptr);
  link_.StopThreads();
  dispatcher_.reset();
  link_.SetOutOfMemoryHandler(nullptr);
}

int COrvelleConsoleDlg::exec() {
  if (!initialised_) OnInitDialog();
  ShowInitially();
  // The dialog's own loop would end whenever the window is hidden to the
  // notification area; this one ends only when the dialog does.
  QEventLoop loop;
  connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::DialogExec);
  return result();
}

void COrvelleConsoleDlg::ShowInitially() {
  if (!startHidden_) {
    show();
  } else if (!TrayAvailable()) {
    showMinimized();
  }
  // Otherwise only the notification icon shows until the user asks for the window.
}

bool COrvelleConsoleDlg::OnInitDialog() {
  initialised_ = true;
  setResult(0);
  AddAboutItem();
  setWindowIcon(PackIcon(kAppIcon));
  if (QWidget* status = DialogItem(*this, IDC_STATUS)) status->setFont(StatusLineFont());
  RegisterForDeviceChanges();
  link_.SetOwner(this);
  const std::vector<FoundController> found = FindControllers(link_.Bus(), link_.Profile());
  ChooseControllerToShow(found);
  ConnectAndShowStatus();
  UpdateControllerChoice(found);
  CreatePages();
  LayoutPages();
  AddTrayIcon();
  if (optionsPage_->MinimizeWindowOnLoaded()) StartHidden();

  tabs_->setCurrentIndex(kTabInfo);
  currentTab_ = kTabInfo;
  connect(tabs_, &QTabWidget::currentChanged, this, &COrvelleConsoleDlg::OnTabSelChange);
  AddTabKeys();
  infoPage_->Refresh();
  return true;
}

void COrvelleConsoleDlg::CreatePages() {
  infoPage_ = new CInfoDlg(link_, calibrationProgram_);
  optionsPage_ =
      new COptionsDlg(*environment_.registry, *environment_.logonEntry, environment_.programPath);
  auto* configPage =
      new CConfigDlg(link_, calibrationProgram_,
                     environment_.osVersion ? *environment_.osVersion : SystemOsVersion());
  calibrationPage_ = new CCalibrationDlg(link_, calibrationProgram_, *environment_.fileDialogs,
                                         *environment_.launcher);
  pages_ = {infoPage_, configPage, calibrationPage_, optionsPage_, new COrvelleAboutDlg};
  for (int tab = 0; tab < kTabCount; ++tab) {
    tabs_->addTab(pages_[tab], LoadResourceString(kFirstTabCaption + tab));
  }
}

// The tab control takes the band between the status line and the window's
// foot; the pages fill it, which the tab control does by itself.
void COrvelleConsoleDlg::LayoutPages() {
  constexpr int kLeft = 10, kTop = 70, kSideMargins = 20, kTopAndFoot = 120;
  const QSize client = size();
  tabs_->setGeometry(kLeft, kTop, client.width() - kSideMargins, client.height() - kTopAndFoot);
}

// Ctrl+Tab and Ctrl+Shift+Tab turn the pages from anywhere in the window; the
// tab control's own handling never sees them while a combo box has the focus,
// which takes the key as text to search its items for.
void COrvelleConsoleDlg::AddTabKeys() {
  const auto turn = [this](int step) {
    tabs_->setCurrentIndex((tabs_->currentIndex() + step + tabs_->count()) % tabs_->count());
  };
  connect(new QShortcut(QKeySequence::NextChild, this), &QShortcut::activated, this,
          [turn] { turn(1); });
  connect(new QShortcut(QKeySequence::PreviousChild, this), &QShortcut::activated, this,
          [turn] { turn(-1); });
}

ConsolePage* COrvelleConsoleDlg::Page(int tab) const {
  return tab >= 0 && tab < kTabCount ? pages_[tab] : nullptr;
}

// X11 windows have no system menu to extend: the about item opens with a
// right click anywhere in the window, and F1 opens the about box directly.
void COrvelleConsoleDlg::AddAboutItem() {
  const QString text = LoadResourceString(kAboutEntryText);
  if (text.isEmpty() || !systemMenu_.isEmpty()) return;
  systemMenu_.addAction(text, this, [this] { OnSysCommand(kAboutCommand); });
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { systemMenu_.popup(mapToGlobal(at)); });
  auto* shortcut = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(shortcut, &QShortcut::activated, this, [this] { OnSysCommand(kAboutCommand); });
}

void COrvelleConsoleDlg::OnSysCommand(int command) {
  if ((command & 0xFFF0) != kAboutCommand) return;
  CAboutDlg about(this);
  about.exec();
}

void COrvelleConsoleDlg::RegisterForDeviceChanges() {
  // Notices come on the bus's own thread; they are handled on this one, never
  // inside a request's wait (a re-open there would pull the channels from
  // under it).
  watch_ = link_.WatchDevices([this](const DeviceNotice& notice) {
    QMetaObject::invokeMethod(
        this, [this, notice] { dispatcher_->WhenIdle([this, notice] { OnDeviceChange(notice); }); },
        Qt::QueuedConnection);
  });
}

bool COrvelleConsoleDlg::ConnectAndShowStatus() {
  // A calibration program started before calibrates the controller as it was then.
  calibrationProgram_.Ended();
  const bool opened = link_.Open();
  statusText_ = LoadResourceString(opened ? kStatusConnected : kStatusNotConnected);
  UpdateData();
  // A controller that is there but may not be opened (no device rule) is
  // named once per run, with the fix; the status line says not connected.
  if (!opened && link_.LastOpenError() != 0 && !toldCannotOpen_) {
    toldCannotOpen_ = true;
    ShowResourceMessage(kMsgCannotOpen, kMsgErrorCaption, kMbOk | kMbIconError, {});
  }
  return opened;
}

void COrvelleConsoleDlg::ChooseControllerToShow(const std::vector<FoundController>& found) {
  link_.SetDevice(ControllerToShow(found, RememberedController(*environment_.registry)));
}

void COrvelleConsoleDlg::ShowController(const std::string& path) {
  if (path.empty() || (path == link_.Device() && link_.IsConnected())) return;
  if (!RememberController(*environment_.registry, path)) {
    ShowResourceMessage(kMsgCannotSave, kMsgErrorCaption, kMbOk | kMbIconError,
                        QString::fromLatin1(kShownControllerValue));
  }
  link_.StopThreads();
  link_.SetDevice(path);
  // Nothing read of the controller shown so far may be written to this one.
  for (ConsolePage* page : pages_) {
    if (page) page->ControllerGone();
  }
  OnControllerArrived();
  UpdateControllerChoice(FindControllers(link_.Bus(), link_.Profile()));
}

void COrvelleConsoleDlg::UpdateControllerChoice(const std::vector<FoundController>& found) {
  if (controllers_) {
    ListControllers(*controllers_, DialogItem(*this, IDC_CONTROLLER_LABEL), found, link_.Device());
  }
}

void COrvelleConsoleDlg::UpdateControllerChoiceSoon() {
  if (std::exchange(controllerChoiceDue_, true)) return;
  QTimer::singleShot(0, this, [this] {
    controllerChoiceDue_ = false;
    UpdateControllerChoice(FindControllers(link_.Bus(), link_.Profile()));
  });
}

void COrvelleConsoleDlg::UpdateData() {
  DataExchange exchange(*this, DataExchange::Direction::ToControls);
  exchange.Text(IDC_STATUS, statusText_);
}

void COrvelleConsoleDlg::OnDeviceChange(const DeviceNotice& notice) {
  orvelle::OnDeviceChange(
      link_, notice,
      {.reopen = [this] { OnControllerArrived(); }, .removed = [this] { OnControllerRemoved(); }});
  UpdateControllerChoiceSoon();
}

void COrvelleConsoleDlg::OnControllerArrived() {
  // Started without a controller: the first to come is chosen as at a start.
  if (link_.Device().empty()) ChooseControllerToShow(FindControllers(link_.Bus(), link_.Profile()));
  if (!ConnectAndShowStatus()) return;
  if (ConsolePage* page = Page(currentTab_)) page->ControllerArrived();
}

void COrvelleConsoleDlg::OnControllerRemoved() {
  calibrationProgram_.Ended();
  statusText_ = LoadResourceString(kStatusNotConnected);
  UpdateData();
  for (ConsolePage* page : pages_) {
    if (page) page->ControllerGone();
  }
}

void COrvelleConsoleDlg::OnAnswer(std::span<const uint8_t> frame) {
  if (ConsolePage* page = Page(RouteFrame(frame, currentTab_))) page->HandleFrame(frame);
}

void COrvelleConsoleDlg::OnTabSelChange() {
  const int tab = tabs_->currentIndex();
  currentTab_ = tab;
  // The tab control shows the page and hides the others.
  if (ConsolePage* page = Page(tab)) page->Refresh();
}

bool COrvelleConsoleDlg::TrayAvailable() const {
  return environment_.trayAvailable.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void COrvelleConsoleDlg::AddTrayIcon() {
  QIcon icon = PackIcon(kAppIcon);
  if (icon.isNull()) ShowResourceMessage(kMsgNoTrayIcon, kMsgErrorCaption, kMbOk, {});
  trayIcon_ = std::make_unique<QSystemTrayIcon>(icon);
  trayIcon_->setToolTip(QString::fromLatin1(kTrayTip));
  connect(trayIcon_.get(), &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            // StatusNotifier hosts report a single activation only.
            if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger) {
              OnTrayNotify(kTrayIconId, kLeftButtonDoubleClick);
            } else if (reason == QSystemTrayIcon::Context) {
              OnTrayNotify(kTrayIconId, kRightButtonUp);
            }
          });
  trayIcon_->show();
}

// Where the desktop has no notification area, hiding would leave the user no
// way back: the window is only minimised.
void COrvelleConsoleDlg::StartHidden() {
  startHidden_ = true;
  if (isVisible()) setWindowState(windowState() | Qt::WindowMinimized);
}

int COrvelleConsoleDlg::OnTrayNotify(int iconId, unsigned mouseMessage) {
  if (iconId != kTrayIconId) return 1;
  if (mouseMessage == kLeftButtonDoubleClick) {
    ShowWindowAgain();
  } else if (mouseMessage == kRightButtonUp) {
    trayMenu_.popup(QCursor::pos());
  }
  return 0;
}

void COrvelleConsoleDlg::ShowWindowAgain() {
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  showNormal();
  raise();
  activateWindow();
}

void COrvelleConsoleDlg::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !isMinimized() || !TrayAvailable()) return;
  // Hidden after the state change has settled, so that the desktop sees
  // the minimise through.
  QTimer::singleShot(0, this, [this] {
    if (isMinimized()) hide();
  });
}

}  // namespace orvelle::console
