#include "calibration/calibration_dlg.h"

#include <QAction>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleHints>
#include <utility>

#include "calibration/core/answer.h"
#include "calibration/core/start_up.h"
#include "calibration/screen_setup.h"
#include "calibration/target_painter.h"
#include "calibration/xp_image_button.h"
#include "devlink/hid/default_bus.h"
#include "devlink/protocol.h"
#include "devlink/usb_transfer.h"
#include "platform/os_version.h"
#include "platform/registry.h"
#include "shell/about_dlg.h"
#include "shell/controller_busy.h"
#include "shell/dialog_support.h"
#include "shell/gui_dispatcher.h"
#include "shell/language_library.h"
#include "shell/resource_message.h"
#include "shell/termination_watch.h"

namespace orvelle {
namespace {

constexpr int kMsgInstruction = 1055;
constexpr int kMsgNoController = 1059;
constexpr int kCaptionNoController = 1060;
constexpr int kMsgCannotOpen = 1068;
constexpr int kMsgOutOfMemory = 1062;
constexpr int kMsgControllerBusy = 1069;
constexpr int kMsgControllerHolder = 1070;  // %1 the program, %2 its process
constexpr int kAboutEntryText = 101;
constexpr int kAppIcon = 128;
constexpr int kOkIcon = 1006;
constexpr int kCancelIcon = 1007;

QIcon PackIcon(int id) {
  const LanguageLibrary* library = CurrentLanguageLibrary();
  return library ? library->Icon(id) : QIcon();
}

}  // namespace

CCalibrationDlg::CCalibrationDlg(Environment environment)
    : environment_(std::move(environment)), instructionText_(LoadResourceString(kMsgInstruction)) {
  setObjectName(QStringLiteral("CCalibrationDlg"));
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  templateLoaded_ = LoadDialogTemplate(*this, kTemplateId);
  setWindowIcon(PackIcon(kAppIcon));

  if (!environment_.bus) environment_.bus = MakeDefaultBus();
  link_ = std::make_unique<CUSBTransfer>(environment_.profile, environment_.bus);
  link_->SetDevice(environment_.device);
  link_->SetOwner(this);
  link_->TakeUnasked(IsRawPoint);
  dispatcher_ = std::make_unique<GuiAnswerDispatcher>(*link_);
  link_->SetOutOfMemoryHandler([this] { ShowMessage(kMsgOutOfMemory); });

  timer1_.setInterval(kTimerPeriodMs);
  connect(&timer1_, &QTimer::timeout, this, [this] { OnTimer(kTimerId); });
}

CCalibrationDlg::~CCalibrationDlg() {
  // Teardown: the cursor comes back, then the link stops before anything it
  // calls into is destroyed.
  ShowCursor(true);
  timer1_.stop();
  watch_.reset();
  termination_.reset();
  group_.End();
  link_->StopThreads();
}

int CCalibrationDlg::exec() {
  if (!initialised_ && !OnInitDialog()) return result();
  if (ended_) return result();
  return QDialog::exec();
}

bool CCalibrationDlg::OnInitDialog() {
  initialised_ = true;
  if (!templateLoaded_) {
    // Nothing to show: the dialog cannot be created, as without its resource.
    qWarning("%s has no calibration screen (template %d)",
             qPrintable(CurrentLanguageLibrary() ? CurrentLanguageLibrary()->FilePath()
                                                 : QStringLiteral("no language pack")),
             kTemplateId);
    ended_ = true;
    QDialog::done(QDialog::Rejected);
    return false;
  }
  SetupControls();
  AddAboutEntry();
  ApplyControlColours(*this);
  LayoutControls();
  if (okButton_) SetupButton(*okButton_, PackIcon(kOkIcon));
  if (cancelButton_) SetupButton(*cancelButton_, PackIcon(kCancelIcon));
  targetRects_ = CollectTargetRects(*this);
  SetupFonts(*this, TextFont());
  DetectWindowsVersion();
  DetectDisplayOrientation();
  run_.SetDisplay(osClass_, orientation_);
  ApplyMouseSettings();

  // Watching starts before the open so that an unplug during the start is
  // not missed; what comes in is applied once the start is done.
  RegisterForDeviceChanges();
  if (!link_->Open()) {
    watch_.reset();
    // A controller that is there but may not be opened needs another fix.
    ShowMessage(link_->LastOpenError() != 0 ? kMsgCannotOpen : kMsgNoController,
                kCaptionNoController);
    OnCancel();
    return false;
  }
  // A controller that went during the start is told by its removal notice,
  // which ends the run as an unplug does.
  if (!BeginRun() && !link_->DeviceLeft()) {
    OnCancel();
    return false;
  }
  timer1_.start();
  run_.Start();
  if (okButton_) okButton_->hide();
  if (cancelButton_) cancelButton_->hide();
  ShowCursor(false);
  startingUp_ = false;
  for (const DeviceNotice& notice : std::exchange(heldNotices_, {})) {
    if (ended_ || ending_) break;
    OnDeviceChange(notice);
  }
  return !ended_;
}

bool CCalibrationDlg::BeginRun() {
  group_ = link_->BeginGroup([this](const LockHolder& holder) {
    return AskToTryAgain(this, holder, LoadResourceString(kMsgControllerBusy),
                         LoadResourceString(kMsgControllerHolder), LoadResourceString(1050));
  });
  if (group_.Busy()) return false;
  // Ended by the system (a signal, the session's end), the run ends in the
  // controller too: a controller left calibrating is no touch screen.
  termination_ =
      std::make_unique<TerminationWatch>([this] { dispatcher_->WhenIdle([this] { OnCancel(); }); });
  if (!SendCalibrationFrame(CAL_GET_MODE, {})) return false;
  Pause(50);
  if (!SendCalibrationFrame(CAL_BEGIN, {}) || !taken_) return false;
  Pause(500);
  return !ended_;
}

// The template's OK and Cancel become image buttons; the texts get their
// first values.
void CCalibrationDlg::SetupControls() {
  okButton_ = AttachImageButton(*this, kOkId);
  cancelButton_ = AttachImageButton(*this, kCancelId);
  if (okButton_) connect(okButton_, &QAbstractButton::clicked, this, &CCalibrationDlg::OnOK);
  if (cancelButton_) {
    connect(cancelButton_, &QAbstractButton::clicked, this, &CCalibrationDlg::OnCancel);
  }
  for (int s = 0; s < kTargetSlots; ++s) {
    if (QWidget* target = FindControl(*this, kFirstTargetId + s)) {
      target->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
  }
  UpdateData();
}

// The desktop here has no system menu on a frameless window; the about entry
// goes to the window's context menu instead.
void CCalibrationDlg::AddAboutEntry() {
  const QString text = LoadResourceString(kAboutEntryText);
  if (text.isEmpty()) return;
  auto* separator = new QAction(this);
  separator->setSeparator(true);
  auto* about = new QAction(text, this);
  connect(about, &QAction::triggered, this, [this] { OnSysCommand(kAboutCommand); });
  addAction(separator);
  addAction(about);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void CCalibrationDlg::OnSysCommand(int command) {
  if ((command & 0xFFF0) != kAboutCommand) return;
  CAboutDlg about(this);
  about.exec();
}

QScreen* CCalibrationDlg::Display() const {
  return environment_.display ? environment_.display.data() : QGuiApplication::primaryScreen();
}

void CCalibrationDlg::LayoutControls() {
  QScreen* display = Display();
  QRect screen;
  if (environment_.screen) {
    screen = *environment_.screen;
  } else if (display) {
    screen = display->geometry();
  }
  MoveControls(*this,
               orvelle::LayoutControls(screen.width(), screen.height(), TemplateSizes(*this)));
  // Full screen goes to the window's screen, so the screen is set first.
  if (display) setScreen(display);
  setGeometry(screen);
  setWindowState(windowState() | Qt::WindowFullScreen);
}

void CCalibrationDlg::UpdateData() {
  DataExchange exchange(*this, DataExchange::Direction::ToControls);
  exchange.Text(kInstructionId, instructionText_);
  exchange.Text(kCountdownId, countdownText_);
}

void CCalibrationDlg::DetectWindowsVersion() {
  const OsVersion& os = environment_.osVersion ? *environment_.osVersion : SystemOsVersion();
  OsVersionInfo info;
  osClass_ = os.Query(info) ? OsClassFor(static_cast<int>(info.platformId),
                                         static_cast<int>(info.major), static_cast<int>(info.minor))
                            : kOsClassOtherPlatform;
}

// The display's rotation from its natural position, in quarter turns
// clockwise: the platform's display-orientation numbering.
void CCalibrationDlg::DetectDisplayOrientation() {
  if (environment_.displayOrientation) {
    orientation_ = OrientationFromDisplayValue(*environment_.displayOrientation);
    return;
  }
  if (const QScreen* screen = Display()) orientation_ = DisplayOrientation(*screen);
}

bool CCalibrationDlg::ApplyMouseSettings() {
  Registry* registry = environment_.registry;
  if (!registry) {
    ownRegistry_ = OpenSystemRegistry();
    registry = ownRegistry_.get();
  }
  std::optional<DesktopDoubleClick> desktop;
  if (environment_.seedFromDesktop) {
    const QStyleHints* hints = QGuiApplication::styleHints();
    desktop = environment_.desktopDoubleClick.value_or(
        DesktopDoubleClick{hints->mouseDoubleClickDistance(), hints->mouseDoubleClickInterval()});
  }
  return orvelle::ApplyMouseSettings(*registry, desktop, [this](int id, const std::string& suffix) {
    ShowMessage(id, 1050, QString::fromStdString(suffix));
  });
}

void CCalibrationDlg::RegisterForDeviceChanges() {
  // Notices come on the bus's own thread; they are handled on this one.
  watch_ = link_->WatchDevices([this](const DeviceNotice& notice) {
    QMetaObject::invokeMethod(
        this,
        [this, notice] {
          if (startingUp_) {
            heldNotices_.push_back(notice);
          } else {
            // Not inside a request's wait: the reaction stops and opens the link.
            dispatcher_->WhenIdle([this, notice] { OnDeviceChange(notice); });
          }
        },
        Qt::QueuedConnection);
  });
}

void CCalibrationDlg::Pause(int milliseconds) {
  dispatcher_->Pause(std::chrono::milliseconds(milliseconds));
}

void CCalibrationDlg::ShowMessage(int textId, int captionId, const QString& suffix) {
  ShowResourceMessage(this, textId, captionId, suffix);
}

// Hidden once during the run; every later request to show it is balanced
// against that one hide only.
void CCalibrationDlg::ShowCursor(bool show) {
  if (show != cursorHidden_) return;
  if (show) {
    QGuiApplication::restoreOverrideCursor();
  } else {
    QGuiApplication::setOverrideCursor(Qt::BlankCursor);
  }
  cursorHidden_ = !show;
}

void CCalibrationDlg::InvalidateTargets() {
  for (const QRect& r : targetRects_)
    update(r);
}

void CCalibrationDlg::paintEvent(QPaintEvent*) {
  if (isMinimized()) return;
  QPainter painter(this);
  PaintTargetAreas(painter, targetRects_, run_.calMode(), run_.targetIndex(), run_.blinkOn());
}

}  // namespace orvelle
