// The real OrvelleFactoryConfig2 against the real orvelle-sim, on an X server
// of the test's own, driven with xdotool as a user would: keys and clicks.
// Skipped (77) where Xvfb or xdotool is missing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "tests/support/e2e/desktop.h"

namespace orvelle::e2e {
namespace {

using namespace std::chrono_literals;

// A dialog's size in its own units, from its layout table.
struct DialogUnits {
  double width = 0;
  double height = 0;
};

const std::string kMainTitle = "红外触摸屏工厂配置工具";
const std::string kInfoTitle = "触摸屏信息";
const std::string kTouchTitle = "触点个数设置";

class FactoryEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    simDir_ = folder_.File("sim");
    std::filesystem::create_directories(simDir_);
    ASSERT_TRUE(display_.Start(folder_.File("xvfb.log")));
  }

  std::vector<std::string> Env() const {
    return desktop_.Env({"ORVELLE_SIM_DIR=" + simDir_, "ORVELLE_MESSAGE_BOXES=log"});
  }

  void StartSimulator() {
    ASSERT_TRUE(sim_.Start({ORVELLE_SIM_COMMAND, "--dir", simDir_, "--log"}, Env(), SimLogFile()));
    ASSERT_TRUE(WaitUntil([&] { return SimLog().find("plugged in") != std::string::npos; }, 10s))
        << SimLog();
  }

  void StartTool() {
    ASSERT_TRUE(tool_.Start({ORVELLE_FACTORY_COMMAND}, Env(), folder_.File("tool.log")));
  }

  std::string SimLogFile() const { return folder_.File("sim.log"); }
  std::string SimLog() const { return ReadFile(SimLogFile()); }
  std::string ToolLog() const { return ReadFile(folder_.File("tool.log")); }
  bool SimLogHas(const std::string& line) const {
    return WaitUntil([&] { return SimLog().find(line) != std::string::npos; }, 10s);
  }

  // A click at a point given in the dialog's own units, scaled to the window
  // as it was laid out, so the test does not depend on the font.
  void ClickAt(const std::string& window, DialogUnits dialogUnits, double x, double y) const;

  TempFolder folder_;
  std::string simDir_;
  VirtualDisplay display_;
  Desktop desktop_{display_};
  ChildProcess sim_;
  ChildProcess tool_;
};

void FactoryEndToEnd::ClickAt(const std::string& window, DialogUnits dialogUnits, double x,
                              double y) const {
  int width = 0;
  int height = 0;
  std::istringstream shell(desktop_.Xdotool({"getwindowgeometry", "--shell", window}));
  for (std::string line; std::getline(shell, line);) {
    std::sscanf(line.c_str(), "WIDTH=%d", &width);
    std::sscanf(line.c_str(), "HEIGHT=%d", &height);
  }
  ASSERT_GT(width, 0);
  const int px = static_cast<int>(x * width / dialogUnits.width);
  const int py = static_cast<int>(y * height / dialogUnits.height);
  desktop_.Xdotool(
      {"mousemove", "--window", window, std::to_string(px), std::to_string(py), "click", "1"});
}

TEST_F(FactoryEndToEnd, UserReadsTheModelAndSetsFourTouchPoints) {
  StartSimulator();
  StartTool();
  const std::string main = desktop_.WaitForWindow(kMainTitle);
  ASSERT_FALSE(main.empty()) << ToolLog();
  desktop_.Screenshot(main, "factory-main.png");

  // The first button has the focus: Space asks for the basic information.
  desktop_.Keys(main, {"space"});
  const std::string info = desktop_.WaitForWindow(kInfoTitle);
  ASSERT_FALSE(info.empty()) << ToolLog();
  desktop_.Screenshot(info, "factory-info.png");
  EXPECT_TRUE(SimLogHas("in  07 F2 01 01 FF  GET_MODEL")) << SimLog();
  desktop_.Keys(info, {"Return"});
  ASSERT_TRUE(desktop_.WaitWindowGone(kInfoTitle));

  // Tab to the touch-count button; in its dialog click "4点", then OK.
  desktop_.Keys(main, {"Tab", "space"});
  const std::string touch = desktop_.WaitForWindow(kTouchTitle);
  ASSERT_FALSE(touch.empty()) << ToolLog();
  EXPECT_TRUE(SimLogHas("in  07 11 01 03 FF  TOUCH_SETTINGS")) << SimLog();
  desktop_.Screenshot(touch, "factory-touch-count.png");
  const DialogUnits units{295, 172};
  ClickAt(touch, units, 53 + 5, 64 + 5);     // "4点"
  ClickAt(touch, units, 74 + 31, 135 + 11);  // OK
  EXPECT_TRUE(SimLogHas("in  07 11 02 04 04 FF  TOUCH_SETTINGS")) << SimLog();
  EXPECT_TRUE(
      WaitUntil([&] { return ToolLog().find("注意: 设置成功!") != std::string::npos; }, 10s))
      << ToolLog();

  // Escape closes the main window and the program ends.
  desktop_.Keys(main, {"Escape"});
  EXPECT_EQ(tool_.WaitExit(10s), 0) << ToolLog();
}

}  // namespace
}  // namespace orvelle::e2e

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing must work everywhere; running needs an X server and xdotool.
  if (!::testing::GTEST_FLAG(list_tests)) {
    if (const int skip = orvelle::e2e::SkipWithoutDesktopTools()) return skip;
  }
  return RUN_ALL_TESTS();
}
