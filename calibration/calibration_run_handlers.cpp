// The run's event handlers of CCalibrationDlg: answers and raw reports, the
// half-second timer, the result write, the end of the run and unplugging.
#include <QCoreApplication>

#include "calibration/calibration_dlg.h"
#include "calibration/core/answer.h"
#include "calibration/xp_image_button.h"
#include "devlink/device_change.h"
#include "devlink/protocol.h"
#include "devlink/usb_transfer.h"
#include "shell/language_library.h"

namespace orvelle {
namespace {

constexpr int kMsgCompleted = 1056;
constexpr int kCountdownBefore = 1057;
constexpr int kCountdownAfter = 1058;
constexpr int kMsgUnplugged = 1061;
constexpr int kMsgNotConnected = 1065;
constexpr int kMsgRefused = 1066;
constexpr int kMsgPointsUndefined = 1067;
constexpr int kMsgNoAnswer = 1071;
constexpr uint8_t kEndKeep = 1;
constexpr uint8_t kEndDiscard = 0;

}  // namespace

void CCalibrationDlg::OnAnswer(std::span<const uint8_t> frame) {
  const CalibrationAnswer answer = InterpretAnswer(frame);
  switch (answer.kind) {
    case CalibrationAnswer::Mode:
      run_.SetCalibrationMode(answer.mode);
      break;
    case CalibrationAnswer::Taken:
      taken_ = true;
      break;
    case CalibrationAnswer::Refused:
      refused_ = true;
      ShowMessage(kMsgRefused);
      break;
    case CalibrationAnswer::RawPoint:
      CaptureSample(answer.raw);
      break;
    case CalibrationAnswer::None:
      break;
  }
}

void CCalibrationDlg::CaptureSample(std::span<const uint8_t, 5> p) {
  switch (run_.CaptureSample(p)) {
    case CaptureResult::TargetAccepted:
      InvalidateTargets();
      break;
    case CaptureResult::RunComplete:
      InvalidateTargets();
      ShowCursor(true);
      // The result is complete; it is sent once the window thread is free.
      QMetaObject::invokeMethod(
          this, [this] { OnCalibrationDone(); }, Qt::QueuedConnection);
      break;
    case CaptureResult::CalibrationUndefined:
      // The last target must be touched again; say why on the screen, where a
      // touch-only user can read it without having to close a box.
      if (const QString text = LoadResourceString(kMsgPointsUndefined); !text.isEmpty()) {
        instructionText_ = text;
        UpdateData();
      }
      break;
    default:
      break;
  }
}

void CCalibrationDlg::OnTimer(int timerId) {
  if (timerId != kTimerId) return;
  const TickAction action = run_.Tick();
  InvalidateTargets();
  if (action.kind == TickAction::Cancel) {
    timer1_.stop();
    OnCancel();
    return;
  }
  ShowTexts(action);
}

void CCalibrationDlg::ShowTexts(const TickAction& action) {
  if (action.complete) instructionText_ = LoadResourceString(kMsgCompleted);
  countdownText_ = QStringLiteral("%1 %2 %3")
                       .arg(LoadResourceString(kCountdownBefore))
                       .arg(action.seconds)
                       .arg(LoadResourceString(kCountdownAfter));
  UpdateData();
  if (action.complete) {
    if (okButton_) okButton_->show();
    if (cancelButton_) cancelButton_->show();
  }
}

// The user is offered to keep the calibration only once the controller has
// taken it; otherwise the run ends, and nothing was changed.
void CCalibrationDlg::OnCalibrationDone() {
  if (ending_ || ended_) return;
  if (SendCalibrationPoints()) {
    run_.ResultTaken();
    // OK is offered at once, not at the next tick.
    ShowTexts({TickAction::UpdateTexts, true, kTicksToAccept / 2});
    return;
  }
  // A controller that went is told, and the run ended, by its removal notice.
  if (!link_->DeviceLeft()) OnCancel();
}

bool CCalibrationDlg::SendCalibrationPoints() {
  if (!link_->IsConnected()) {
    ShowMessage(kMsgNotConnected);
    return false;
  }
  if (!BuildCalibrationPointsFrame(requestFrame_, run_.result())) return false;
  return Exchange() && taken_;
}

bool CCalibrationDlg::SendCalibrationFrame(uint8_t code, std::span<const uint8_t> payload) {
  if (!link_->IsConnected()) {
    ShowMessage(kMsgNotConnected);
    return false;
  }
  BuildFrame(requestFrame_, kCalibrationReportId, code, payload);
  return Exchange();
}

// Sends requestFrame_: true when the controller answered and did not refuse
// (a refusal was said by its answer's handler, silence is said here).
bool CCalibrationDlg::Exchange() {
  refused_ = taken_ = false;
  if (!link_->SendAndWait(kCalibrationChannel, {requestFrame_.data(), kCalibrationFrameLength})) {
    // A controller that went is told by its removal notice.
    if (!link_->DeviceLeft()) ShowMessage(kMsgNoAnswer);
    return false;
  }
  return !refused_;
}

void CCalibrationDlg::OnOK() {
  EndRun(true);
}

void CCalibrationDlg::OnCancel() {
  EndRun(false);
}

// The time-out, the unplug path and the user can all ask to end while an end
// is already under way (its request and pause let events through); only the
// first one ends.
void CCalibrationDlg::EndRun(bool accept) {
  if (ending_ || ended_) return;
  ending_ = true;
  timer1_.stop();
  // A run that found another program's under way must not end that one.
  if (!group_.Busy()) {
    const uint8_t keep[] = {accept ? kEndKeep : kEndDiscard};
    SendCalibrationFrame(CAL_END, keep);
    Pause(500);
  }
  group_.End();
  ended_ = true;
  QDialog::done(accept ? QDialog::Accepted : QDialog::Rejected);
}

void CCalibrationDlg::OnDeviceChange(const DeviceNotice& notice) {
  DeviceChangeReactions reactions;
  reactions.reopen = [this] { link_->Open(); };
  reactions.removed = [this] {
    ShowMessage(kMsgUnplugged);
    ShowCursor(true);
    OnCancel();
  };
  orvelle::OnDeviceChange(*link_, notice, reactions);
}

}  // namespace orvelle
