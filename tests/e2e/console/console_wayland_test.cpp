// The console's scenario on Qt's Wayland platform: weston in a window of an X
// server of the test's own, whose keyboard (xdotool) reaches the focused
// Wayland window; the simulated controller in process. Run by the displays
// step; skipped (77), or failed where that step requires it, without weston.
#include <gtest/gtest.h>

#include <QImage>
#include <QLibraryInfo>
#include <filesystem>
#include <memory>

#include "devlink/catalogue.h"
#include "devlink/frame.h"
#include "sim/simulated_controller.h"
#include "tests/support/e2e/desktop.h"
#include "tests/support/e2e/weston.h"
#include "tests/support/sim_fixture.h"

namespace orvelle::e2e {
namespace {

using namespace std::chrono_literals;

class ConsoleOnWayland : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(display_.Start(folder_.File("xvfb.log")));
    ASSERT_TRUE(weston_.Start(folder_.File("weston"),
                              {.width = 1024, .height = 768, .xDisplay = display_.Name()}))
        << ReadFile(weston_.Log());
    sim_ = testing::StartController(folder_.File("sim"));
    ASSERT_TRUE(sim_);
  }

  bool Saw(uint8_t reportId, uint8_t code, std::chrono::milliseconds limit, uint64_t afterSeq = 0) {
    return testing::AwaitFrame(*sim_, SimEvent::Kind::In, reportId, code, limit, afterSeq)
        .has_value();
  }

  // Keys go to the Wayland window that weston has focused.
  void Keys(std::vector<std::string> keys) const {
    keys.insert(keys.begin(), {"key", "--delay", "80"});
    desktop_.Xdotool(keys);
  }

  // Weston focuses a window some time after it is shown, and a key before
  // that is lost: the key again until the controller hears what it does.
  bool KeyUntilAsked(const std::string& key, uint8_t reportId, uint8_t code) {
    return WaitUntil(
        [&] {
          const uint64_t before = sim_->Events().LastSeq();
          Keys({key});
          return Saw(reportId, code, 5s, before);
        },
        30s);
  }

  // True once the calibration's window shows (a lit target), or is gone.
  bool CalibrationShown(bool shown) {
    const std::string file = folder_.File("shot.png");
    const auto lit = [&] {
      const QImage shot(QString::fromStdString(file));
      for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
          if (shot.pixelColor(x, y) == QColor(255, 0, 255)) return true;
      return false;
    };
    return WaitUntil([&] { return weston_.Screenshot(file) && lit() == shown; }, 20s);
  }

  std::string Log() const { return ReadFile(folder_.File("console.log")); }

  TempFolder folder_;
  VirtualDisplay display_;
  Desktop desktop_{display_};
  Weston weston_;
  std::unique_ptr<SimulatedController> sim_;
  ChildProcess console_;
};

TEST_F(ConsoleOnWayland, UserReadsTheControllerStartsTheCalibrationAndSavesTheOptions) {
  ASSERT_TRUE(console_.Start(
      {ORVELLE_CONSOLE_COMMAND},
      weston_.WaylandEnv({"ORVELLE_SIM_DIR=" + folder_.File("sim"), "ORVELLE_MESSAGE_BOXES=log",
                          "ORVELLE_CONFIG_DIR=" + folder_.File("config"),
                          "XDG_CONFIG_HOME=" + folder_.File("xdg")}),
      folder_.File("console.log")));
  // The information page asks for the layout once the window is shown.
  ASSERT_TRUE(Saw(kCommandReportId, GET_LAYOUT, 20s)) << Log();

  // The configuration and calibration pages ask the controller when shown.
  ASSERT_TRUE(KeyUntilAsked("ctrl+Tab", kCommandReportId, CFG_12)) << Log();
  ASSERT_TRUE(KeyUntilAsked("ctrl+Tab", kCommandReportId, CAL_OPTION_13)) << Log();
  ASSERT_TRUE(KeyUntilAsked("alt+c", kCalibrationReportId, CAL_BEGIN)) << Log();
  ASSERT_TRUE(CalibrationShown(true)) << "the calibration did not come to the front";
  ASSERT_TRUE(KeyUntilAsked("Escape", kCalibrationReportId, CAL_END));
  ASSERT_TRUE(CalibrationShown(false));

  // Weston focuses no window when a full-screen one closes: the user takes
  // the console back with weston's window switcher, then saves the options.
  Keys({"super+Tab"});
  Keys({"ctrl+Tab", "alt+c", "alt+l", "alt+s"});
  EXPECT_TRUE(
      WaitUntil([&] { return Log().find("Completed successfully.") != std::string::npos; }, 20s))
      << Log();
  EXPECT_TRUE(std::filesystem::exists(folder_.File("xdg/autostart/OrvelleConsole.desktop")));
  Keys({"Escape"});
  EXPECT_EQ(console_.WaitExit(20s), 0) << Log();
}

}  // namespace
}  // namespace orvelle::e2e

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!::testing::GTEST_FLAG(list_tests)) {
    const std::string plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString();
    if (const int skip = orvelle::e2e::SkipWithoutWeston(plugins)) return skip;
    if (!orvelle::e2e::OnPath("xdotool")) return orvelle::e2e::SkipWithoutDesktopTools();
  }
  return RUN_ALL_TESTS();
}
