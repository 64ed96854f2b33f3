#include "console/info_dlg.h"

#include "console/controller_group.h"
#include "console/core/message_ids.h"
#include "console/core/pacing.h"
#include "devlink/usb_transfer.h"
#include "shell/dialog_support.h"
#include "shell/resource_message.h"

namespace orvelle::console {
namespace {

// The controller's texts are single-byte characters of no known code page;
// Latin-1 shows every byte as one character and never fails to decode.
QString Text(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

CInfoDlg::CInfoDlg(CUSBTransfer& link, const CalibrationProgramRun& calibration, QWidget* parent)
    : ConsolePage(parent), link_(link), calibration_(calibration) {
  setObjectName(QStringLiteral("CInfoDlg"));
  LoadDialogTemplate(*this, kTemplateId);
  UpdateData();
}

void CInfoDlg::Refresh() {
  exchange_.Begin();
  if (!link_.IsConnected()) {
    ShowResourceMessage(kMsgNotConnected, kMsgErrorCaption, kMbOk | kMbIconError, {});
  } else if (const auto group = TakeController(link_, calibration_, GroupFor::Refresh)) {
    for (uint8_t code : kInfoRequests) {
      // An unanswered request is no reason to skip the others.
      link_.SendFrame(kCommandChannel, InfoExchange::Request(code));
      link_.Pause(kPauseAfterRead);
    }
  }
  exchange_.End();
  UpdateData();
}

void CInfoDlg::HandleFrame(std::span<const uint8_t> frame) {
  exchange_.HandleFrame(frame);
}

void CInfoDlg::ResetToDefaults() {
  exchange_.ResetToDefaults();
}

void CInfoDlg::UpdateData() {
  const InfoPageState& s = exchange_.State();
  DataExchange exchange(*this, DataExchange::Direction::ToControls);
  int infoValue = s.infoValue, countA = s.countA, countB = s.countB;
  QString listA = Text(s.listA), listB = Text(s.listB), model = Text(s.modelText),
          identity2 = Text(s.identity2), identity3 = Text(s.identity3),
          identity4 = Text(s.identity4);
  exchange.Text(IDC_INFO_VALUE, infoValue);
  exchange.Text(IDC_COUNT_A, countA);
  exchange.Text(IDC_COUNT_B, countB);
  exchange.Text(IDC_LIST_A, listA);
  exchange.Text(IDC_LIST_B, listB);
  exchange.Text(IDC_MODEL, model);
  exchange.Text(IDC_IDENTITY_2, identity2);
  exchange.Text(IDC_IDENTITY_3, identity3);
  exchange.Text(IDC_IDENTITY_4, identity4);
}

}  // namespace orvelle::console
