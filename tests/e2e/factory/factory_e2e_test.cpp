// The real OrvelleFactoryConfig2 against the real orvelle-sim, on an X server
// of the test's own, driven with xdotool as a user would: keys and clicks.
// Skipped (77) where Xvfb or xdotool is missing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "child_process.h"

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

class TempFolder {
 public:
  TempFolder() {
    char path[] = "/tmp/orvelle-factory-e2e-XXXXXX";
    if (mkdtemp(path)) path_ = path;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The display number Xvfb wrote on a line of its own, or empty.
std::string DisplayNumberIn(const std::string& output) {
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) return line;
  }
  return {};
}

// An X server of the test's own. Xvfb picks a free display itself and writes
// its number once it accepts connections, so tests that start servers at the
// same time never share one.
class VirtualDisplay {
 public:
  bool Start(const std::string& logFile) {
    if (!server_.Start(
            {"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
            EnvironmentWith({}), logFile)) {
      return false;
    }
    std::string number;
    WaitUntil(
        [&] {
          number = DisplayNumberIn(ReadFile(logFile));
          return !number.empty() || !server_.Running();
        },
        10s);
    if (number.empty()) {
      server_.Stop();
      return false;
    }
    display_ = ":" + number;
    return true;
  }
  const std::string& Name() const { return display_; }

 private:
  ChildProcess server_;
  std::string display_;
};

class FactoryEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.Path().empty());
    simDir_ = folder_.File("sim");
    std::filesystem::create_directories(simDir_);
    ASSERT_TRUE(display_.Start(folder_.File("xvfb.log")));
  }

  std::vector<std::string> Env(const std::vector<std::string>& more = {}) const {
    std::vector<std::string> overrides = {"DISPLAY=" + display_.Name(), "QT_QPA_PLATFORM=xcb",
                                          "ORVELLE_SIM_DIR=" + simDir_,
                                          "ORVELLE_MESSAGE_BOXES=log"};
    overrides.insert(overrides.end(), more.begin(), more.end());
    return EnvironmentWith(overrides);
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

  std::string Xdotool(std::vector<std::string> args) const {
    args.insert(args.begin(), "xdotool");
    return RunCommand(args, Env());
  }
  // The shown window with exactly this title, or "" when there is none.
  std::string Window(const std::string& title) const {
    // Only mapped windows: Qt names a window before it maps it, and focus
    // cannot go to an unmapped one.
    std::istringstream ids(Xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"}));
    std::string id;
    ids >> id;
    return id;
  }
  std::string WaitForWindow(const std::string& title) const {
    std::string id;
    WaitUntil([&] { return !(id = Window(title)).empty(); }, 15s);
    return id;
  }
  bool WaitWindowGone(const std::string& title) const {
    return WaitUntil([&] { return Window(title).empty(); }, 10s);
  }
  // A click at a point given in the dialog's own units, scaled to the window
  // as it was laid out, so the test does not depend on the font.
  void ClickAt(const std::string& window, DialogUnits dialogUnits, double x, double y) const;

  void Screenshot(const std::string& window, const std::string& name) const {
    const char* folder = std::getenv("ORVELLE_SCREENSHOT_DIR");
    if (!folder || !OnPath("import")) return;
    // A window just mapped may not have painted yet.
    std::this_thread::sleep_for(500ms);
    RunCommand({"import", "-window", window, std::string(folder) + "/" + name}, Env());
  }

  TempFolder folder_;
  std::string simDir_;
  VirtualDisplay display_;
  ChildProcess sim_;
  ChildProcess tool_;
};

void FactoryEndToEnd::ClickAt(const std::string& window, DialogUnits dialogUnits, double x,
                              double y) const {
  int width = 0;
  int height = 0;
  std::istringstream shell(Xdotool({"getwindowgeometry", "--shell", window}));
  for (std::string line; std::getline(shell, line);) {
    std::sscanf(line.c_str(), "WIDTH=%d", &width);
    std::sscanf(line.c_str(), "HEIGHT=%d", &height);
  }
  ASSERT_GT(width, 0);
  const int px = static_cast<int>(x * width / dialogUnits.width);
  const int py = static_cast<int>(y * height / dialogUnits.height);
  Xdotool({"mousemove", "--window", window, std::to_string(px), std::to_string(py), "click", "1"});
}

TEST_F(FactoryEndToEnd, UserReadsTheModelAndSetsFourTouchPoints) {
  StartSimulator();
  StartTool();
  const std::string main = WaitForWindow(kMainTitle);
  ASSERT_FALSE(main.empty()) << ToolLog();
  Screenshot(main, "factory-main.png");

  // The first button has the focus: Space asks for the basic information.
  Xdotool({"windowfocus", "--sync", main});
  Xdotool({"key", "space"});
  const std::string info = WaitForWindow(kInfoTitle);
  ASSERT_FALSE(info.empty()) << ToolLog();
  Screenshot(info, "factory-info.png");
  EXPECT_TRUE(SimLogHas("in  07 F2 01 01 FF  GET_MODEL")) << SimLog();
  Xdotool({"key", "Return"});
  ASSERT_TRUE(WaitWindowGone(kInfoTitle));

  // Tab to the touch-count button; in its dialog click "4点", then OK.
  Xdotool({"key", "Tab", "space"});
  const std::string touch = WaitForWindow(kTouchTitle);
  ASSERT_FALSE(touch.empty()) << ToolLog();
  EXPECT_TRUE(SimLogHas("in  07 11 01 03 FF  TOUCH_SETTINGS")) << SimLog();
  Screenshot(touch, "factory-touch-count.png");
  const DialogUnits units{295, 172};
  ClickAt(touch, units, 53 + 5, 64 + 5);     // "4点"
  ClickAt(touch, units, 74 + 31, 135 + 11);  // OK
  EXPECT_TRUE(SimLogHas("in  07 11 02 04 04 FF  TOUCH_SETTINGS")) << SimLog();
  EXPECT_TRUE(
      WaitUntil([&] { return ToolLog().find("注意: 设置成功!") != std::string::npos; }, 10s))
      << ToolLog();

  // Escape closes the main window and the program ends.
  Xdotool({"windowfocus", "--sync", main});
  Xdotool({"key", "Escape"});
  EXPECT_EQ(tool_.WaitExit(10s), 0) << ToolLog();
}

TEST_F(FactoryEndToEnd, StartWithoutControllerTellsAndEnds) {
  StartTool();
  EXPECT_EQ(tool_.WaitExit(15s), 0);
  EXPECT_NE(ToolLog().find("注意: 设备还没有连接，请检查!"), std::string::npos) << ToolLog();
}

}  // namespace
}  // namespace orvelle::e2e

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing must work everywhere; running needs an X server and xdotool.
  if (!::testing::GTEST_FLAG(list_tests)) {
    for (const char* tool : {"Xvfb", "xdotool"}) {
      if (!orvelle::e2e::OnPath(tool)) {
        std::printf("skipped: %s is not installed\n", tool);
        return 77;
      }
    }
  }
  return RUN_ALL_TESTS();
}
