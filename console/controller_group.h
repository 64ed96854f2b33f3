#pragma once
// How the console's pages take the controller for one exchange group: a
// refresh when a tab is chosen, or an action of the user (Apply, Restore,
// Export, Import, Reset).

#include <optional>

#include "devlink/exchange_group.h"

namespace orvelle {
class CUSBTransfer;
}

namespace orvelle::console {

// Whether the calibration program that the console started runs: from its
// start until it ends, or until the controller goes or is opened again (what
// runs then is no longer the console's to wait for). Meanwhile the console
// stands aside and starts no second one.
class CalibrationProgramRun {
 public:
  bool Runs() const { return runs_; }
  void Started() { runs_ = true; }
  // The program ended, or the controller went or was opened again.
  void Ended() { runs_ = false; }

 private:
  bool runs_ = false;
};

enum class GroupFor : uint8_t { Refresh, Action };

// While the calibration program started here runs, the console stands aside:
// a refresh asks nothing, an action is told that the calibration runs. While
// another program holds the controller, the user is told who and may try
// again. None: nothing may be sent.
std::optional<ExchangeGroup> TakeController(CUSBTransfer& link,
                                            const CalibrationProgramRun& calibration,
                                            GroupFor purpose);

}  // namespace orvelle::console
