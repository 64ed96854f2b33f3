#include "console/config_dlg.h"

#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <algorithm>

#include "console/controller_group.h"
#include "console/core/exchange_outcome.h"
#include "console/core/message_ids.h"
#include "console/core/pacing.h"
#include "devlink/usb_transfer.h"
#include "platform/os_version.h"
#include "shell/dialog_support.h"
#include "shell/resource_message.h"

namespace orvelle::console {
namespace {

constexpr int kCombos[] = {IDC_TOUCH_SETTING, IDC_SWITCH_A12, IDC_SWITCH_B12, IDC_SWITCH_C12,
                           IDC_ON16,          IDC_LEVEL_C17,  IDC_LEVEL_D17,  IDC_ON21,
                           IDC_PERIOD_A21,    IDC_PERIOD_B21, IDC_ON15,       IDC_VALUE15,
                           IDC_LEVEL15,       IDC_ON14,       IDC_VALUE14,    IDC_LEVEL14};
constexpr int kSliders[] = {IDC_LEVEL_A17, IDC_LEVEL_B17};
constexpr int kHiddenControls[] = {IDC_LEVEL_C17, IDC_LEVEL_D17, IDC_LEVEL_C17_LABEL,
                                   IDC_LEVEL_D17_LABEL};
constexpr char kInitialValue16Text[] = "0";
constexpr char kDisabledValue16Text[] = "5";
// The controller holds any signed byte there, "-128" the longest.
constexpr int kValue16TextLength = 4;

void ShowError(int textId) {
  ShowResourceMessage(textId, kMsgErrorCaption, kMbOk | kMbIconError, {});
}

void ShowDone() {
  ShowResourceMessage(kMsgSaved, kMsgSavedCaption, kMbOk | kMbIconInformation, {});
}

}  // namespace

CConfigDlg::CConfigDlg(CUSBTransfer& link, const CalibrationProgramRun& calibration,
                       const OsVersion& os, QWidget* parent)
    : ConsolePage(parent), link_(link), calibration_(calibration), windowsClass_(WindowsClass(os)) {
  setObjectName(QStringLiteral("CConfigDlg"));
  LoadDialogTemplate(*this, kTemplateId);
  OnInitDialog();
  ConnectControls();
}

void CConfigDlg::OnInitDialog() {
  for (int id : kSliders) {
    if (auto* slider = DialogItemAs<QAbstractSlider>(*this, id))
      slider->setRange(kSliderMin, kSliderMax);
  }
  if (auto* spin = DialogItemAs<QSpinBox>(*this, IDC_VALUE16_SPIN)) {
    // The native up-down reports a step at either end of its range, which
    // takes the value to 0 or 21 before the clamp; Qt's spin box would not
    // step there at all, so its range reaches one further and the position
    // is put back (OnSpinChange).
    spin->setRange(kSpinMin - 1, kSpinMax + 1);
    spin->setSingleStep(1);
    // Only its arrows show: the value is shown by the edit box beside it.
    if (auto* own = spin->findChild<QLineEdit*>()) own->hide();
  }
  SetControls(InitialControls(windowsClass_));
  for (int id : kHiddenControls) {
    if (QWidget* item = DialogItem(*this, id)) item->hide();
  }
  if (auto* edit = DialogItemAs<QLineEdit>(*this, IDC_VALUE16_TEXT)) {
    edit->setMaxLength(kValue16TextLength);
    edit->setText(QString::fromLatin1(kInitialValue16Text));
  }
}

void CConfigDlg::ConnectControls() {
  for (int id : kCombos)
    OnSelectionChange(*this, id, [this, id] { OnComboSelection(id); });
  for (int id : kSliders) {
    if (auto* slider = DialogItemAs<QAbstractSlider>(*this, id)) {
      connect(slider, &QAbstractSlider::valueChanged, this,
              [this, id](int position) { exchange_.Slide(id, position); });
    }
  }
  if (auto* spin = DialogItemAs<QSpinBox>(*this, IDC_VALUE16_SPIN))
    connect(spin, &QSpinBox::valueChanged, this, &CConfigDlg::OnSpinChange);
  OnClicked(*this, IDC_APPLY, [this] { Apply(); });
  OnClicked(*this, IDC_RESTORE, [this] { RestoreDefaults(); });
}

bool CConfigDlg::Send(const FrameBuffer& request) {
  // What the answer changes arrives through HandleFrame; an unanswered
  // request is no reason to skip the next.
  return link_.SendFrame(kCommandChannel, request);
}

void CConfigDlg::Refresh() {
  exchange_.BeginRefresh(windowsClass_);
  if (!link_.IsConnected()) {
    ShowError(kMsgNotConnected);
  } else if (const auto group = TakeController(link_, calibration_, GroupFor::Refresh)) {
    ReadGroups();
  }
  if (exchange_.ReadComplete()) {
    FillControls();
  } else {
    DisableAll();
  }
  UpdateData();
}

void CConfigDlg::ReadGroups() {
  for (uint8_t code : kConfigGroups) {
    if (GroupInClass(code, windowsClass_)) Send(ConfigExchange::ReadRequest(code));
    link_.Pause(kPauseAfterRead);
  }
}

// Only values read from the controller connected now are written back, and
// a write is done when the controller reports what was written. A write that
// was refused, not answered or not kept leaves the controller's settings
// unknown: the page says so and reads them again.
void CConfigDlg::Apply() {
  if (!exchange_.ReadComplete()) return;
  if (!link_.IsConnected()) {
    ShowError(kMsgNotConnected);
    return;
  }
  const auto group = TakeController(link_, calibration_, GroupFor::Action);
  if (!group) return;
  exchange_.BeginApply();
  OutcomeTally tally;
  for (uint8_t code : kConfigGroups) {
    if (GroupInClass(code, windowsClass_)) tally.Sent(Send(exchange_.ApplyRequest(code)));
    link_.Pause(kPauseAfterWrite);
  }
  if (tally.Outcome(!exchange_.ApplyOk()) != ExchangeOutcome::Done) {
    ShowError(kMsgOperationFailed);
  } else {
    ReadGroups();
    if (exchange_.UnkeptGroups().empty()) return ShowDone();
    ShowError(kMsgNotKept);
  }
  Refresh();
}

void CConfigDlg::ControllerGone() {
  exchange_.Forget();
  DisableAll();
  UpdateData();
}

void CConfigDlg::RestoreDefaults() {
  std::optional<ExchangeGroup> group;
  if (!link_.IsConnected()) {
    ShowError(kMsgNotConnected);
  } else if (ShowResourceMessage(kMsgRestoreDefaults, kMsgSavedCaption, kMbYesNo | kMbIconQuestion,
                                 {}) != kIdNo) {
    group = TakeController(link_, calibration_, GroupFor::Action);
    if (!group) return;
    if (!Send(ConfigExchange::ResetRequest())) ShowError(kMsgOperationFailed);
  }
  link_.Pause(kPauseAfterReset);
  // Also without a controller, which the refresh then reports once more.
  Refresh();
}

void CConfigDlg::HandleFrame(std::span<const uint8_t> frame) {
  switch (exchange_.HandleFrame(frame)) {
    case ConfigAnswer::ResetRefused:
      ShowError(kMsgOperationFailed);
      break;
    case ConfigAnswer::ResetDone:
      ShowDone();
      break;
    case ConfigAnswer::None:
    case ConfigAnswer::ReadTaken:
    case ConfigAnswer::ReadRefused:   // the group stays unread: the page is disabled
    case ConfigAnswer::WriteRefused:  // Apply reports it with the other writes
      break;
  }
}

void CConfigDlg::FillControls() {
  const ConfigPageState& s = exchange_.State();
  SetControls(FilledControls(s, windowsClass_));
  value16Text_ = QString::number(s.value16);
}

void CConfigDlg::DisableAll() {
  SetControls(DisabledControls(windowsClass_));
  value16Text_ = QString::fromLatin1(kDisabledValue16Text);
}

void CConfigDlg::OnComboSelection(int controlId) {
  const auto* combo = DialogItemAs<QComboBox>(*this, controlId);
  if (!combo) return;
  const int index = combo->currentIndex();
  exchange_.Select(controlId, index);
  for (int governed : GovernedBy(controlId)) {
    if (QWidget* item = DialogItem(*this, governed)) item->setEnabled(index == 0);
  }
}

void CConfigDlg::OnSpinChange(int newPosition) {
  const int value = exchange_.Step(spinPosition_, newPosition - spinPosition_);
  SetSpinPosition(newPosition);
  value16Text_ = QString::number(value);
  UpdateData();
}

// Positions the page sets are not the user's choices: they do not reach the
// page state.
void CConfigDlg::SetControls(const ControlSettings& controls) {
  for (const ControlSetting& control : controls) {
    QWidget* item = DialogItem(*this, control.id);
    if (!item) continue;
    if (control.position) {
      const int position = *control.position;
      if (auto* combo = qobject_cast<QComboBox*>(item)) {
        combo->setCurrentIndex(position);
      } else if (qobject_cast<QSpinBox*>(item)) {
        SetSpinPosition(position);
      } else if (auto* slider = qobject_cast<QAbstractSlider*>(item)) {
        const QSignalBlocker quiet(slider);
        slider->setValue(position);
      }
    }
    if (control.enabled) item->setEnabled(*control.enabled);
  }
}

void CConfigDlg::SetSpinPosition(int position) {
  spinPosition_ = std::clamp(position, kSpinMin, kSpinMax);
  if (auto* spin = DialogItemAs<QSpinBox>(*this, IDC_VALUE16_SPIN)) {
    const QSignalBlocker quiet(spin);
    spin->setValue(spinPosition_);
  }
}

void CConfigDlg::UpdateData() {
  DataExchange exchange(*this, DataExchange::Direction::ToControls);
  exchange.Text(IDC_VALUE16_TEXT, value16Text_);
}

}  // namespace orvelle::console
