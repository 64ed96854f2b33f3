// The real OrvelleConsole against the real orvelle-sim, on an X server of the
// test's own, driven with xdotool as a user would. Skipped (77) where Xvfb or
// xdotool is missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

  void StartSimulator(std::vector<std::string> more = {}) {
    std::vector<std::string> command = {ORVELLE_SIM_COMMAND, "--dir", folder_.File("sim"), "--log"};
    command.insert(command.end(), more.begin(), more.end());
    ASSERT_TRUE(sim_.Start(command, Env(), folder_.File("sim.log")));
    ASSERT_TRUE(
        WaitUntil([&] { return Log("sim.log").find("plugged in") != std::string::npos; }, 10s));
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
  bool LogHas(const std::string& name, const std::string& text,
              std::chrono::milliseconds limit = 10s) const {
    return WaitUntil([&] { return Log(name).find(text) != std::string::npos; }, limit);
  }
  // How often `text` occurs in the log now.
  size_t Occurrences(const std::string& name, const std::string& text) const {
    const std::string log = Log(name);
    size_t n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
      ++n;
    return n;
  }
  bool LogHasMore(const std::string& name, const std::string& text, size_t than) const {
    return WaitUntil([&] { return Occurrences(name, text) > than; }, 15s);
  }
  // The simulator's stored calibration record, as its state file keeps it.
  std::string StoredRecord() const {
    const std::string state = Log("state.txt");
    const size_t at = state.find("cal_record=");
    return at == std::string::npos ? "" : state.substr(at, state.find('\n', at) - at);
  }

  // Every tab from the first, as a user flips through them, pictured.
  // The calibration page also with each orientation chosen (not applied).
  void PictureEveryTab(const std::string& window, const std::string& language) {
    for (const char* tab : kTabNames) {
      desktop_.Screenshot(window, std::string("console-") + tab + "-" + language + ".png");
      if (tab == std::string("calibration")) {
        const char* options[] = {"alt+n", "alt+r", "alt+u", "alt+l"};
        for (int option = 0; option < 4; ++option) {
          desktop_.Keys(window, {options[option]});
          desktop_.Screenshot(window, "console-calibration-option" + std::to_string(option) + "-" +
                                          language + ".png");
        }
      }
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

// A calibration made with the calibration program that the console starts is
// exported, the controller reset, and the file imported: the controller holds
// the calibration again, byte for byte.
TEST_F(ConsoleEndToEnd, ACalibrationSurvivesExportResetAndImport) {
  // Nine targets; the simulator keeps its state (and so the record) in state.txt.
  { std::ofstream(folder_.File("script.txt")) << "set mode 4\ntargets rate=500 count=250 gap=100\n"; }
  StartSimulator({"--state", folder_.File("state.txt"), "--script", folder_.File("script.txt")});
  const std::string window = StartConsole("console.log");
  ASSERT_FALSE(window.empty()) << Log("console.log");
  desktop_.Keys(window, {"ctrl+Tab", "ctrl+Tab"});
  ASSERT_TRUE(LogHas("sim.log", "CAL_GET_MODE")) << Log("sim.log");

  // The console starts the calibration program beside it; the simulated
  // finger touches its nine targets, and the user accepts the result.
  desktop_.Keys(window, {"alt+c"});
  const std::string tessaly = desktop_.WaitForWindow("Tessaly");
  ASSERT_FALSE(tessaly.empty()) << Log("console.log");
  ASSERT_TRUE(LogHas("sim.log", "out 06 04 01 01", 90s)) << Log("sim.log");
  // The OK button shows once the result is in; Return before that does nothing.
  ASSERT_TRUE(WaitUntil(
      [&] {
        desktop_.Keys(tessaly, {"Return"});
        return LogHas("sim.log", "out 06 05 01 01", 1s);
      },
      20s))
      << Log("sim.log");
  ASSERT_TRUE(desktop_.WaitWindowGone("Tessaly"));
  const std::string calibrated = StoredRecord();
  ASSERT_FALSE(calibrated.empty()) << Log("state.txt");

  // Export, answered in the save dialog.
  const std::string file = folder_.File("calibration.ini");
  desktop_.Keys(window, {"alt+x"});
  ASSERT_FALSE(desktop_.WaitForWindow("Save As").empty());
  desktop_.Type("Save As", file);
  desktop_.Keys(desktop_.Window("Save As"), {"Return"});
  ASSERT_TRUE(LogHas("console.log", "Information: The calibration data was saved to the file."))
      << Log("console.log");
  EXPECT_EQ(ReadFile(file).size(), 137u);

  // Reset, confirmed (logged boxes take their default answer).
  const size_t done = Occurrences("console.log", "Completed successfully.");
  desktop_.Keys(window, {"alt+t"});
  ASSERT_TRUE(LogHasMore("console.log", "Completed successfully.", done)) << Log("console.log");
  EXPECT_TRUE(WaitUntil([&] { return StoredRecord() != calibrated; }, 5s)) << StoredRecord();

  // Import brings the calibration back.
  desktop_.Keys(window, {"alt+i"});
  ASSERT_FALSE(desktop_.WaitForWindow("Open").empty());
  desktop_.Type("Open", file);
  desktop_.Keys(desktop_.Window("Open"), {"Return"});
  ASSERT_TRUE(LogHasMore("console.log", "Completed successfully.", done + 1)) << Log("console.log");
  EXPECT_TRUE(WaitUntil([&] { return StoredRecord() == calibrated; }, 5s)) << StoredRecord();
  desktop_.Screenshot(window, "console-calibration-after-import-en.png");

  // The first calibration program has ended, so the button starts another.
  desktop_.Keys(window, {"alt+c"});
  const std::string again = desktop_.WaitForWindow("Tessaly");
  ASSERT_FALSE(again.empty()) << Log("console.log");
  desktop_.Keys(again, {"Escape"});
  EXPECT_TRUE(desktop_.WaitWindowGone("Tessaly"));
  EXPECT_EQ(Log("console.log").find("already been started"), std::string::npos);

  desktop_.Keys(window, {"Escape"});
  EXPECT_EQ(console_.WaitExit(10s), 0) << Log("console.log");
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
