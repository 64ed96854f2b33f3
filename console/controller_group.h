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

// The link's connected flag once the calibration program was started here.
inline constexpr int kConnectedAndCalibrating = 2;

enum class GroupFor : uint8_t { Refresh, Action };

// While the calibration program started here runs, the console stands aside:
// a refresh asks nothing, an action is told that the calibration runs. While
// another program holds the controller, the user is told who and may try
// again. None: nothing may be sent.
std::optional<ExchangeGroup> TakeController(CUSBTransfer& link, GroupFor purpose);

}  // namespace orvelle::console
