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

TEST_F(ConsoleEndToEnd, UserReadsAndAppliesTheSettingsStartsTheCalibrationAndChoosesChinese) {
  ASSERT_TRUE(StartSimulator(ORVELLE_SIM_COMMAND)) << Log("sim.log");
  std::string window = StartConsole("console.log");
  ASSERT_FALSE(window.empty()) << Log("console.log");
  EXPECT_TRUE(LogHas("sim.log", "GET_LAYOUT")) << Log("sim.log");
  PictureEveryTab(window, "en");

  // Alt+A reaches the configuration page's Apply once its reads are answered.
  const std::string readLast = "in  07 14 01 01 FF", done = "Information: Completed successfully.";
  desktop_.Keys(window, {"ctrl+Tab"});
  ASSERT_TRUE(LogReaches("sim.log", readLast, 2)) << Log("sim.log");
  desktop_.Keys(window, {"alt+a"});
  EXPECT_TRUE(LogReaches("console.log", done, 1)) << Log("console.log");

  // The calibration page starts the calibration program beside the console,
  // and another once the console has seen the first one end.
  desktop_.Keys(window, {"ctrl+Tab"});
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
  EXPECT_TRUE(LogReaches("console.log", done, 2)) << Log("console.log");
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

}  // namespace
}  // namespace orvelle::e2e
