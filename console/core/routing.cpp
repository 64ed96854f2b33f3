#include "console/core/routing.h"

#include "devlink/frame.h"

namespace orvelle::console {

int RouteFrame(std::span<const uint8_t> frame, int currentTab) {
  if (frame.empty()) return -1;
  switch (frame[0]) {
    case kCalibrationReportId:
      return kTabCalibration;
    case kCommandReportId:
      return currentTab == kTabInfo || currentTab == kTabConfig || currentTab == kTabCalibration
                 ? currentTab
                 : -1;
    default:
      return -1;
  }
}

}  // namespace orvelle::console
