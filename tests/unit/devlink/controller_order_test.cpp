#include "devlink/controller_order.h"

#include <gtest/gtest.h>

namespace orvelle {
namespace {

// A controller is its collections' common part, shown to people by its port.
TEST(ControllerPaths, EachBusesCollectionsShareTheirControllersPath) {
  const struct {
    std::string collection, controller, port;
  } cases[] = {
      {"/dev/hidraw@usb-0000:00:14.0-2/input0#col03", "/dev/hidraw@usb-0000:00:14.0-2/input0",
       "usb-0000:00:14.0-2"},
      {"/dev/hidraw4#col01", "/dev/hidraw4", "hidraw4"},
      {"/run/user/1000/orvelle-sim/touch-2a5c-0013-2#col06",
       "/run/user/1000/orvelle-sim/touch-2a5c-0013-2", "touch-2a5c-0013-2"},
      {R"(\\?\hid#vid_2a5c&pid_0013&col02#7&2f3a1b&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030})",
       R"(\\?\hid#vid_2a5c&pid_0013#7&2f3a1b&0#{4d1e55b2-f16f-11cf-88cb-001111000030})",
       "7&2f3a1b&0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ControllerPathOf(c.collection), c.controller);
    EXPECT_EQ(PortName(c.controller), c.port);
  }
}

}  // namespace
}  // namespace orvelle
