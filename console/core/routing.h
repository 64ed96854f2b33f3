#pragma once
// Which console page an answer frame belongs to: calibration frames to the
// calibration page whatever is shown, command frames to the page on show
// when it talks to the controller, anything else to none.

#include <cstdint>
#include <span>

namespace orvelle::console {

enum ConsoleTab : int {
  kTabInfo = 0,
  kTabConfig = 1,
  kTabCalibration = 2,
  kTabOptions = 3,
  kTabAbout = 4,
  kTabCount = 5,
};

// The tab whose page takes `frame`, or -1 when the frame is dropped.
int RouteFrame(std::span<const uint8_t> frame, int currentTab);

}  // namespace orvelle::console
