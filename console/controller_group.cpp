#include "console/controller_group.h"

#include "console/core/message_ids.h"
#include "devlink/usb_transfer.h"
#include "shell/controller_busy.h"
#include "shell/language_library.h"
#include "shell/resource_message.h"

namespace orvelle::console {

std::optional<ExchangeGroup> TakeController(CUSBTransfer& link,
                                            const CalibrationProgramRun& calibration,
                                            GroupFor purpose) {
  if (calibration.Runs()) {
    if (purpose == GroupFor::Action)
      ShowResourceMessage(kMsgAlreadyStarted, kMsgErrorCaption, kMbOk | kMbIconError, {});
    return std::nullopt;
  }
  ExchangeGroup group = link.BeginGroup([](const LockHolder& holder) {
    return AskToTryAgain(nullptr, holder, LoadResourceString(kMsgControllerBusy),
                         LoadResourceString(kMsgControllerHolder),
                         LoadResourceString(kMsgErrorCaption));
  });
  if (group.Busy()) return std::nullopt;
  return group;
}

}  // namespace orvelle::console
