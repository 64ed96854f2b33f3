// The real OrvelleFactoryConfig2 against the real orvelle-sim, on an X server
// of the test's own, driven with xdotool as a user would: keys and clicks.
// Skipped (77) where Xvfb or xdotool is missing.
#include <gtest/gtest.h>

#include "tests/support/e2e/desktop.h"

namespace orvelle::e2e {
namespace {

using namespace std::chrono_literals;

const std::string kMainTitle = "红外触摸屏工厂配置工具";
const std::string kInfoTitle = "触摸屏信息";
const std::string kTouchTitle = "触点个数设置";

class FactoryEndToEnd : public DesktopTest {
 protected:
  // A click at a point given in the dialog's own units (its layout is
  // `units` wide and high), scaled to the window as it was laid out, so the
  // test does not depend on the font.
  void ClickAt(const std::string& window, std::pair<double, double> units, double x, double y) {
    const QRect area = desktop_.Geometry(window);
    ASSERT_GT(area.width(), 0);
    desktop_.Xdotool({"mousemove", "--window", window,
                      std::to_string(int(x * area.width() / units.first)),
                      std::to_string(int(y * area.height() / units.second)), "click", "1"});
  }

  ChildProcess tool_;
};

TEST_F(FactoryEndToEnd, UserReadsTheModelAndSetsFourTouchPoints) {
  ASSERT_TRUE(StartSimulator(ORVELLE_SIM_COMMAND)) << Log("sim.log");
  ASSERT_TRUE(tool_.Start({ORVELLE_FACTORY_COMMAND}, Env(), folder_.File("tool.log")));
  const std::string main = desktop_.WaitForWindow(kMainTitle);
  ASSERT_FALSE(main.empty()) << Log("tool.log");
  desktop_.Screenshot(main, "factory-main.png");

  // The first button has the focus: Space asks for the basic information.
  desktop_.Keys(main, {"space"});
  const std::string info = desktop_.WaitForWindow(kInfoTitle);
  ASSERT_FALSE(info.empty()) << Log("tool.log");
  desktop_.Screenshot(info, "factory-info.png");
  EXPECT_TRUE(LogHas("sim.log", "in  07 F2 01 01 FF  GET_MODEL")) << Log("sim.log");
  desktop_.Keys(info, {"Return"});
  ASSERT_TRUE(desktop_.WaitWindowGone(kInfoTitle));

  // Tab to the touch-count button; in its dialog click "4点", then OK.
  desktop_.Keys(main, {"Tab", "space"});
  const std::string touch = desktop_.WaitForWindow(kTouchTitle);
  ASSERT_FALSE(touch.empty()) << Log("tool.log");
  EXPECT_TRUE(LogHas("sim.log", "in  07 11 01 03 FF  TOUCH_SETTINGS")) << Log("sim.log");
  desktop_.Screenshot(touch, "factory-touch-count.png");
  ClickAt(touch, {295, 172}, 53 + 5, 64 + 5);     // "4点"
  ClickAt(touch, {295, 172}, 74 + 31, 135 + 11);  // OK
  EXPECT_TRUE(LogHas("sim.log", "in  07 11 02 04 04 FF  TOUCH_SETTINGS")) << Log("sim.log");
  EXPECT_TRUE(LogHas("tool.log", "注意: 设置成功!")) << Log("tool.log");

  desktop_.Keys(main, {"Escape"});
  EXPECT_EQ(tool_.WaitExit(10s), 0) << Log("tool.log");
}

}  // namespace
}  // namespace orvelle::e2e
