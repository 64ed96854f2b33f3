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

class ConsoleEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.Path().empty());
    std::filesystem::create_directories(folder_.File("sim"));
    ASSERT_TRUE(display_.Start(folder_.File("xvfb.log")));
  }

  std::vector<std::string> Env() const {
    return desktop_.Env({"ORVELLE_SIM_DIR=" + folder_.File("sim"), "ORVELLE_MESSAGE_BOXES=log",
                         "ORVELLE_CONFIG_DIR=" + folder_.File("config"),
                         "XDG_CONFIG_HOME=" + folder_.File("xdg")});
  }

  void StartSimulator() {
    ASSERT_TRUE(sim_.Start({ORVELLE_SIM_COMMAND, "--dir", folder_.File("sim"), "--log"}, Env(),
                           folder_.File("sim.log")));
    ASSERT_TRUE(WaitUntil([&] { return Log("sim.log").find("plugged in") != std::string::npos; },
                          10s));
  }

  // The console's window, once it is shown; "" when it did not come.
  std::string StartConsole(const std::string& logName, const std::string& language = {}) {
    console_.Stop();
    std::vector<std::string> command = {ORVELLE_CONSOLE_COMMAND};
    if (!language.empty()) command.push_back(language);
    if (!console_.Start(command, Env(), folder_.File(logName))) return {};
    return desktop_.WaitForWindow(kTitle);
  }

  std::string Log(const std::string& name) const { return ReadFile(folder_.File(name)); }
  bool LogHas(const std::string& name, const std::string& text) const {
    return WaitUntil([&] { return Log(name).find(text) != std::string::npos; }, 10s);
  }

  // Every tab from the first, as a user flips through them, pictured.
  void PictureEveryTab(const std::string& window, const std::string& language) {
    for (const char* tab : kTabNames) {
      desktop_.Screenshot(window, std::string("console-") + tab + "-" + language + ".png");
      desktop_.Keys(window, {"ctrl+Tab"});
    }
  }

  TempFolder folder_;
  VirtualDisplay display_;
  Desktop desktop_{display_};
  ChildProcess sim_;
  ChildProcess console_;
};

TEST_F(ConsoleEndToEnd, UserReadsTheControllerAndChoosesChineseAndTheLogOnStart) {
  StartSimulator();
  std::string window = StartConsole("console.log");
  ASSERT_FALSE(window.empty()) << Log("console.log");
  // The information page asked for its six answers, the layout last.
  EXPECT_TRUE(LogHas("sim.log", "GET_LAYOUT")) << Log("sim.log");
  PictureEveryTab(window, "en");

  // Back on the first tab; three more bring the options page.
  desktop_.Keys(window, {"ctrl+Tab", "ctrl+Tab", "ctrl+Tab", "alt+c", "alt+l", "alt+s"});
  EXPECT_TRUE(LogHas("console.log", "Information: Completed successfully.")) << Log("console.log");
  const std::string entry = folder_.File("xdg/autostart/OrvelleConsole.desktop");
  EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(entry); }, 5s));
  EXPECT_NE(ReadFile(entry).find(std::string("Exec=") + ORVELLE_CONSOLE_COMMAND), std::string::npos);

  desktop_.Keys(window, {"Escape"});
  EXPECT_EQ(console_.WaitExit(10s), 0) << Log("console.log");

  // The next start speaks Chinese.
  window = StartConsole("console-zh.log");
  ASSERT_FALSE(window.empty()) << Log("console-zh.log");
  PictureEveryTab(window, "zh");
  desktop_.Keys(window, {"Escape"});
  EXPECT_EQ(console_.WaitExit(10s), 0) << Log("console-zh.log");
}

TEST_F(ConsoleEndToEnd, StartWithoutControllerSaysSoAndKeepsRunning) {
  std::string window = StartConsole("console.log");
  ASSERT_FALSE(window.empty()) << Log("console.log");
  EXPECT_TRUE(LogHas("console.log", "Error: The touch controller is not connected."))
      << Log("console.log");
  desktop_.Screenshot(window, "console-not-connected-en.png");
  // The configuration page says so again and shows its controls disabled.
  desktop_.Keys(window, {"ctrl+Tab"});
  desktop_.Screenshot(window, "console-config-disabled-en.png");
  desktop_.Keys(window, {"Escape"});
  EXPECT_EQ(console_.WaitExit(10s), 0) << Log("console.log");

  window = StartConsole("console-zh.log", "1");
  ASSERT_FALSE(window.empty()) << Log("console-zh.log");
  desktop_.Keys(window, {"ctrl+Tab"});
  desktop_.Screenshot(window, "console-config-disabled-zh.png");
  desktop_.Keys(window, {"Escape"});
  EXPECT_EQ(console_.WaitExit(10s), 0) << Log("console-zh.log");
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
