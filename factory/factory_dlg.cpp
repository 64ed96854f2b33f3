#include "factory/factory_dlg.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

#include "devlink/device_change.h"
#include "devlink/usb_transfer.h"
#include "factory/about_dlg.h"
#include "factory/dialog_layout.h"
#include "factory/factory_icon.h"
#include "factory/factory_strings.h"
#include "shell/dialog_support.h"
#include "shell/gui_dispatcher.h"
#include "shell/message_boxes.h"

namespace orvelle {

namespace {

using factory::ControlKind;
using factory::DialogControl;
using Dlg = COrvelleFactoryConfig2Dlg;

const DialogControl kControls[] = {
    {ControlKind::PushButton, Dlg::IDC_BASIC_INFO, u"基本信息", {62, 80, 72, 30}},
    {ControlKind::PushButton, Dlg::IDC_TOUCH_COUNT, u"触点个数设置", {179, 81, 72, 30}},
    {ControlKind::PushButton, Dlg::IDC_LED_COUNT, u"灯数设置", {62, 137, 72, 30}},
    {ControlKind::PushButton, Dlg::IDC_EDGE_OPTIMISATION, u"边沿优化", {179, 138, 72, 30}},
    {ControlKind::PushButton, Dlg::IDC_SERIAL_NUMBER, u"自定义序列号", {61, 191, 72, 30}},
    {ControlKind::DefPushButton, Dlg::IDC_EXIT, u"退 出", {178, 193, 72, 28}},
    {ControlKind::ReadOnlyEdit, Dlg::IDC_STATUS, u"", {27, 15, 261, 45}},
};

const factory::DialogTemplate kDialog = {u"红外触摸屏工厂配置工具", {320, 253}, u"宋体", 9, true};

}  // namespace

COrvelleFactoryConfig2Dlg::COrvelleFactoryConfig2Dlg(std::unique_ptr<CUSBTransfer> link,
                                                     QWidget* parent)
    : QDialog(parent),
      link_(std::move(link)),
      runModal_([](QDialog& dialog) { return dialog.exec(); }) {
  dispatcher_ = std::make_unique<GuiAnswerDispatcher>(*link_);
  link_->SetOwner(this);
  link_->SetOutOfMemoryHandler([this] {
    MessageBoxes().Show(this, factory::OutOfMemoryText(), factory::OutOfMemoryCaption(), kMbOk);
  });
  CreateControls();
}

COrvelleFactoryConfig2Dlg::~COrvelleFactoryConfig2Dlg() {
  // Notices and reader threads end before the objects they call into.
  deviceWatch_.reset();
  link_->StopThreads();
  link_->SetOwner(nullptr);
  dispatcher_.reset();
}

void COrvelleFactoryConfig2Dlg::CreateControls() {
  factory::BuildDialog(*this, kDialog, kControls);
  OnClicked(*this, IDC_BASIC_INFO, [this] { ShowBasicInfo(); });
  OnClicked(*this, IDC_TOUCH_COUNT, [this] { SetTouchCount(); });
  OnClicked(*this, IDC_EXIT, [this] { OnExit(); });
  // The controller offers no command for these settings: the buttons keep
  // their places but are unavailable, and their tip says why.
  for (int id : {IDC_LED_COUNT, IDC_EDGE_OPTIMISATION, IDC_SERIAL_NUMBER}) {
    if (QWidget* button = DialogItem(*this, id)) {
      button->setEnabled(false);
      button->setToolTip(factory::NotSupportedTip());
    }
  }
  if (auto* status = DialogItemAs<QLineEdit>(*this, IDC_STATUS)) {
    status->setAlignment(Qt::AlignCenter);
    // Its right click opens the window menu, as the rest of the window does.
    status->setContextMenuPolicy(Qt::NoContextMenu);
  }
}

int COrvelleFactoryConfig2Dlg::DoModal() {
  if (!OnInitDialog()) return result();
  return exec();
}

bool COrvelleFactoryConfig2Dlg::OnInitDialog() {
  AddAboutItem();
  setWindowIcon(factory::AppIcon());
  if (QWidget* status = DialogItem(*this, IDC_STATUS)) status->setFont(StatusLineFont());

  if (link_->Open()) {
    link_->SetConnected(true);
    statusText_ = factory::DeviceConnectedText();
    DoDataExchange(false);
    RegisterForDeviceChanges();
    // The first control takes the focus, so a stray Enter does not end the tool.
    if (QWidget* first = DialogItem(*this, IDC_BASIC_INFO)) first->setFocus();
    return true;
  }
  // A controller that is there but may not be opened needs another fix.
  MessageBoxes().Show(
      this,
      link_->LastOpenError() != 0 ? factory::CannotOpenText() : factory::StartupNotConnectedText(),
      factory::StartupNotConnectedCaption(), kMbOk);
  reject();
  return false;
}

void COrvelleFactoryConfig2Dlg::AddAboutItem() {
  // X11 has no system menu to extend: the window menu opens with a right
  // click anywhere in the window, and F1 opens the about box directly.
  const QString about = factory::LoadFactoryString(factory::IDS_ABOUTBOX);
  if (about.isEmpty() || systemMenu_) return;
  systemMenu_ = new QMenu(this);
  systemMenu_->addAction(about, this, [this] { OnAbout(); });
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { systemMenu_->popup(mapToGlobal(at)); });
  auto* shortcut = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(shortcut, &QShortcut::activated, this, [this] { OnAbout(); });
}

void COrvelleFactoryConfig2Dlg::RegisterForDeviceChanges() {
  // The tool does not re-open after an unplug; it remembers the removal to
  // tell the operator at the next button.
  deviceWatch_ = link_->WatchDevices([this](const DeviceNotice& notice) {
    QMetaObject::invokeMethod(
        this,
        [this, notice] {
          OnDeviceChange(*link_, notice, {});
          if (notice.kind == DeviceNotice::Kind::Removal && link_->MatchesDevicePath(notice.path)) {
            controllerRemoved_ = true;
          }
        },
        Qt::QueuedConnection);
  });
}

void COrvelleFactoryConfig2Dlg::DoDataExchange(bool fromControls) {
  DataExchange dx(*this, fromControls ? DataExchange::Direction::FromControls
                                      : DataExchange::Direction::ToControls);
  dx.Text(IDC_STATUS, statusText_);
}

void COrvelleFactoryConfig2Dlg::OnExit() {
  accept();
}

void COrvelleFactoryConfig2Dlg::OnAbout() {
  factory::CAboutDlg about(this);
  runModal_(about);
}

bool COrvelleFactoryConfig2Dlg::SayIfRemoved() {
  if (!controllerRemoved_) return false;
  MessageBoxes().Show(this, factory::ControllerRemovedText(),
                      factory::LoadFactoryString(factory::IDS_ERROR), kMbOk);
  return true;
}

int COrvelleFactoryConfig2Dlg::Message(int textId, int captionId) {
  return MessageBoxes().Show(this, factory::LoadFactoryString(textId),
                             factory::LoadFactoryString(captionId), kMbOk);
}

}  // namespace orvelle
