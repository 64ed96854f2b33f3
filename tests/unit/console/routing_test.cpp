#include "console/core/routing.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvelle::console {
namespace {

TEST(RouteFrame, CalibrationAlwaysCommandsToThePageOnShowOthersNowhere) {
  struct Case {
    std::vector<uint8_t> frame;
    int tab;
    int page;
  };
  const Case cases[] = {
      {{6, 8}, kTabInfo, kTabCalibration},   {{6, 8}, kTabAbout, kTabCalibration},
      {{7, 2}, kTabInfo, kTabInfo},          {{7, 2}, kTabConfig, kTabConfig},
      {{7, 2}, kTabCalibration, kTabCalibration},
      {{7, 2}, kTabOptions, -1},             {{7, 2}, kTabAbout, -1},
      {{1, 2}, kTabInfo, -1},                {{0x87, 2}, kTabInfo, -1},
      {{}, kTabInfo, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RouteFrame(c.frame, c.tab), c.page)
        << "report " << (c.frame.empty() ? -1 : c.frame[0]) << " on tab " << c.tab;
  }
}

}  // namespace
}  // namespace orvelle::console
