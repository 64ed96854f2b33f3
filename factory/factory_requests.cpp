// The main window's two operations and its answer handler. Each operation
// runs to completion on the window thread; answers are handled there too,
// while a request waits and while the flags are polled.
#include "devlink/protocol.h"
#include "devlink/usb_transfer.h"
#include "factory/factory_dlg.h"
#include "factory/factory_strings.h"
#include "factory/info_dlg.h"
#include "factory/touch_num_dlg.h"
#include "shell/controller_busy.h"
#include "shell/message_boxes.h"

namespace orvelle {

bool COrvelleFactoryConfig2Dlg::SendCommand(uint8_t code, std::initializer_list<uint8_t> payload) {
  if (!link_->IsConnected()) {
    Message(factory::IDS_NOT_CONNECTED, factory::IDS_ERROR);
    return false;
  }
  BuildFrame(frame_, kCommandReportId, code, payload);
  return link_->SendAndWait(kCommandChannel,
                            std::span<const uint8_t>(frame_.data(), kCommandFrameLength));
}

std::optional<ExchangeGroup> COrvelleFactoryConfig2Dlg::TakeController() {
  ExchangeGroup group = link_->BeginGroup([this](const LockHolder& holder) {
    using namespace factory;
    return AskToTryAgain(this, holder, LoadFactoryString(IDS_BUSY),
                         LoadFactoryString(IDS_BUSY_HOLDER), LoadFactoryString(IDS_ERROR));
  });
  if (group.Busy()) return std::nullopt;
  return group;
}

bool COrvelleFactoryConfig2Dlg::PollFlag(const bool& flag, bool pauseFirst) {
  if (pauseFirst) link_->Pause(kPollStep);
  for (int i = 0; !flag && i < kPollLimit; ++i)
    link_->Pause(kPollStep);
  return flag;
}

void COrvelleFactoryConfig2Dlg::ShowBasicInfo() {
  if (SayIfRemoved()) return;
  {
    const auto group = TakeController();
    if (!group) return;
    modelReceived_ = false;
    SendCommand(GET_MODEL, {kSubRead});
    // No answer: nothing to show and nothing to say.
    if (!PollFlag(modelReceived_, true)) return;
  }
  CInfoDlg info(shared_.modelText, this);
  runModal_(info);
}

bool COrvelleFactoryConfig2Dlg::ReadTouchLimits(bool pauseFirst) {
  limitsReceived_ = false;
  SendCommand(TOUCH_SETTINGS, {kSubReadTouchLimits});
  if (PollFlag(limitsReceived_, pauseFirst)) return true;
  Message(factory::IDS_TIMED_OUT, factory::IDS_ERROR);
  return false;
}

// The controller is not held while the user chooses: the limits are read,
// then the count is written and read back, each in a group of its own.
void COrvelleFactoryConfig2Dlg::SetTouchCount() {
  if (SayIfRemoved()) return;
  {
    const auto group = TakeController();
    if (!group || !ReadTouchLimits(false)) return;
  }
  CTouchNumDlg choose(shared_, this);
  if (runModal_(choose) != QDialog::Accepted) return;

  const auto group = TakeController();
  if (!group) return;
  const int chosen = shared_.touchCount;
  touchAcknowledged_ = false;
  SendCommand(TOUCH_SETTINGS, {kSubWriteTouchCount, static_cast<uint8_t>(chosen)});
  if (!PollFlag(touchAcknowledged_, true)) {
    Message(factory::IDS_TIMED_OUT, factory::IDS_ERROR);
  } else if (!touchAccepted_) {
    Message(factory::IDS_SETTING_FAILED, factory::IDS_ERROR);
  } else if (ReadTouchLimits(true)) {
    // Done when the controller reports the count it was sent.
    if (shared_.touchCount == chosen) {
      Message(factory::IDS_SETTING_SUCCEEDED, factory::IDS_ATTENTION);
    } else {
      MessageBoxes().Show(this,
                          factory::LoadFactoryString(factory::IDS_NOT_KEPT).arg(shared_.touchCount),
                          factory::LoadFactoryString(factory::IDS_ERROR), kMbOk);
    }
  }
}

void COrvelleFactoryConfig2Dlg::OnAnswer(std::span<const uint8_t> bytes) {
  // Values are stored before their flag is set, so a set flag always comes
  // with the values of its answer.
  const FrameView frame(bytes);
  if (frame.ReportId() != kCommandReportId) return;
  const uint8_t n = frame.PayloadLength();
  const uint8_t sub = frame.Payload(0);
  if (frame.Code() == GET_MODEL && n == ReadAnswerLength(GET_MODEL) && sub == kSubRead) {
    const std::string text = FrameText(bytes, kTextOffset, kShortTextLength);
    shared_.modelText = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    modelReceived_ = true;
  } else if (frame.Code() == TOUCH_SETTINGS && n == kTouchLimitsAnswerLength &&
             sub == kSubReadTouchLimits) {
    int maximum = frame.Payload(1);
    if (maximum > kMaxTouchCount) maximum = 0;
    int current = frame.Payload(2);
    if (current > kMaxTouchCount || current > maximum) current = 0;
    shared_.touchMaximum = maximum;
    shared_.touchCount = current;
    limitsReceived_ = true;
  } else if (frame.Code() == TOUCH_SETTINGS && n == AcknowledgementLength(TOUCH_SETTINGS) &&
             sub == kSubWriteTouchCount) {
    touchAccepted_ = frame.Payload(1) != 0;
    touchAcknowledged_ = true;
  }
}

}  // namespace orvelle
