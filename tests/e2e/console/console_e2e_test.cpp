// The real OrvelleConsole against the real orvelle-sim, on an X server of the
// test's own, driven with xdotool as a user would. Skipped (77) where Xvfb or
// xdotool is missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "tests/support/e2e/desktop.h"

namespace orvelle::e2e {
namespace {

using namespace std::chrono_literals;

const std::string kTitle = "OrvelleConsole";
const char* const kTabNames[] = {"info", "config", "calibration", "options", "about"};

class ConsoleEndToEnd : public DesktopTest {
 protected:
  // The console's window, once it is shown; "" when it did not come.
  std::string StartConsole(const std::string& logName) {
    console_.Stop();
    const std::vector<std::string> env = Env(
        {"ORVELLE_CONFIG_DIR=" + folder_.File("config"), "XDG_CONFIG_HOME=" + folder_.File("xdg")});
    if (!console_.Start({ORVELLE_CONSOLE_COMMAND}, env, folder_.File(logName))) return {};
    return desktop_.WaitForWindow(kTitle);
  }

  size_t Count(const std::string& name, const std::string& text) const {
    const std::string log = Log(name);
    size_t count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
      ++count;
    return count;
  }
  // Waits until `text` has been logged `count` times.
  bool LogReaches(const std::string& name, const std::string& text, size_t count) const {
    return WaitUntil([&] { return Count(name, text) >= count; }, 15s);
  }
  // A line typed at the simulator's prompt, once it has answered with `reply`.
  bool Sim(const std::string& line, const std::string& reply) {
    const size_t before = Count("sim.log", reply);
    return sim_.Input(line) && LogReaches("sim.log", reply, before + 1);
  }

  // Every tab from the first, as a user flips through them, pictured.
  // The calibration page also with each orientation chosen (not applied).
  void PictureEveryTab(const std::string& window, const std::string& language) {
    for (const char* tab : kTabNames) {
      desktop_.Screenshot(window, std::string("console-") + tab + "-" + language + ".png");
      if (tab == std::string("calibration")) {
        for (const char* option : {"alt+n", "alt+r", "alt+u", "alt+l"}) {
          desktop_.Keys(window, {option});
          desktop_.Screenshot(
              window, "console-calibration-" + std::string(option) + "-" + language + ".png");
        }
      }
      desktop_.Keys(window, {"ctrl+Tab"});
    }
  }

  ChildProcess console_;
};

TEST_F(ConsoleEndToEnd, UserReadsTheControllerStartsTheCalibrationAndChoosesChinese) {
  ASSERT_TRUE(StartSimulator(ORVELLE_SIM_COMMAND)) << Log("sim.log");
  std::string window = StartConsole("console.log");
  ASSERT_FALSE(window.empty()) << Log("console.log");
  EXPECT_TRUE(LogHas("sim.log", "GET_LAYOUT")) << Log("sim.log");
  PictureEveryTab(window, "en");

  // The calibration page starts the calibration program beside the console,
  // and another once the console has seen the first one end.
  desktop_.Keys(window, {"ctrl+Tab", "ctrl+Tab"});
  desktop_.Keys(window, {"alt+c"});
  std::string tessaly = desktop_.WaitForWindow("Tessaly");
  ASSERT_FALSE(tessaly.empty()) << Log("console.log");
  desktop_.Keys(tessaly, {"Escape"});
  ASSERT_TRUE(desktop_.WaitWindowGone("Tessaly"));
  ASSERT_TRUE(WaitUntil(
      [&] {
        desktop_.Keys(window, {"alt+c"});
        return !(tessaly = desktop_.WaitForWindow("Tessaly", 1s)).empty();
      },
      10s))
      << Log("console.log");
  desktop_.Keys(tessaly, {"Escape"});
  ASSERT_TRUE(desktop_.WaitWindowGone("Tessaly"));

  desktop_.Keys(window, {"ctrl+Tab", "alt+c", "alt+l", "alt+s"});
  EXPECT_TRUE(LogHas("console.log", "Information: Completed successfully.")) << Log("console.log");
  const std::string entry = folder_.File("xdg/autostart/OrvelleConsole.desktop");
  EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(entry); }, 5s));
  EXPECT_NE(ReadFile(entry).find(std::string("Exec=") + ORVELLE_CONSOLE_COMMAND),
            std::string::npos);
  desktop_.Keys(window, {"Escape"});
  EXPECT_EQ(console_.WaitExit(10s), 0) << Log("console.log");

  // The next start speaks Chinese. Its last Ctrl+Tab sets the first page
  // asking; the Escape that follows at once, kept by the platform during the
  // wait, still ends the console.
  window = StartConsole("console-zh.log");
  ASSERT_FALSE(window.empty()) << Log("console-zh.log");
  PictureEveryTab(window, "zh");
  desktop_.Keys(window, {"Escape"});
  EXPECT_EQ(console_.WaitExit(10s), 0) << Log("console-zh.log");
}

// A lost write, a refused one and a controller swapped while the page is
// shown: the console reports every failure, reads again, and writes back only
// what it read of the controller connected now.
TEST_F(ConsoleEndToEnd, LostAndRefusedWritesFailAndAnotherControllerIsReadAfresh) {
  ASSERT_TRUE(StartSimulator(ORVELLE_SIM_COMMAND)) << Log("sim.log");
  const std::string window = StartConsole("console.log");
  ASSERT_FALSE(window.empty()) << Log("console.log");
  const std::string readLast = "in  07 14 01 01 FF", readMode = "in  06 01 00 FF";
  const std::string failed = "Error: The operation failed", done = "Completed successfully";

  desktop_.Keys(window, {"ctrl+Tab"});
  ASSERT_TRUE(LogReaches("sim.log", readLast, 1)) << Log("sim.log");
  ASSERT_TRUE(Sim("silent CFG_16 always", "rule: CFG_16"));
  desktop_.Keys(window, {"alt+a"});
  EXPECT_TRUE(LogReaches("console.log", failed, 1)) << Log("console.log");
  EXPECT_TRUE(LogReaches("sim.log", readLast, 2)) << "read again";

  ASSERT_TRUE(Sim("clear all", "ok"));
  desktop_.Keys(window, {"ctrl+Tab"});
  ASSERT_TRUE(LogReaches("sim.log", readMode, 1));
  desktop_.Keys(window, {"ctrl+shift+Tab"});
  ASSERT_TRUE(LogReaches("sim.log", readLast, 3));
  ASSERT_TRUE(Sim("refuse CFG_12 once", "rule: CFG_12"));
  desktop_.Keys(window, {"alt+a"});
  EXPECT_TRUE(LogReaches("console.log", failed, 2)) << Log("console.log");

  // The calibration page, with another controller plugged in while it shows.
  desktop_.Keys(window, {"ctrl+Tab"});
  ASSERT_TRUE(LogReaches("sim.log", readMode, 2));
  ASSERT_TRUE(Sim("unplug", "unplugged"));
  ASSERT_TRUE(Sim("set mode 2", "ok"));
  ASSERT_TRUE(Sim("plug", "plugged in"));
  ASSERT_TRUE(LogReaches("sim.log", readMode, 3)) << "the arrival is read";
  ASSERT_TRUE(Sim("silent CAL_SET_MODE always", "rule: CAL_SET_MODE"));
  desktop_.Keys(window, {"alt+a"});
  EXPECT_TRUE(LogReaches("console.log", failed, 3)) << Log("console.log");
  ASSERT_TRUE(Sim("clear all", "ok"));
  desktop_.Keys(window, {"alt+a"});
  EXPECT_TRUE(LogHas("console.log", done)) << Log("console.log");
  EXPECT_EQ(Count("console.log", done), 1u) << Log("console.log");
  ASSERT_TRUE(Sim("show", "cal_mode="));
  EXPECT_NE(Log("sim.log").find("cal_mode=2"), std::string::npos) << "the new controller's mode";
  desktop_.Keys(window, {"Escape"});
  EXPECT_EQ(console_.WaitExit(10s), 0) << Log("console.log");
}

}  // namespace
}  // namespace orvelle::e2e
