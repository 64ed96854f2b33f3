// The console's scenario on Qt's Wayland platform: weston in windows of an X
// server of the test's own, whose keyboard (xdotool) reaches the focused
// Wayland window; the simulated controller in process. Weston has two outputs
// and opens a window on the one under its pointer: the console opens on the
// second, and what it starts must go full screen there. Run by the displays
// step; skipped (77), or failed where that step requires it, without weston.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <memory>

#include "devlink/frame.h"
#include "devlink/protocol.h"
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
    ASSERT_TRUE(display_.Start(folder_.File("x"), {2 * kWidth, kHeight}));
    ASSERT_TRUE(weston_.Start(
        folder_.File("weston"),
        {.width = kWidth, .height = kHeight, .count = 2, .xDisplay = display_.Name()}))
        << ReadFile(weston_.Log());
    ASSERT_TRUE(weston_.PointerOnto(1)) << "weston's pointer did not come onto the second output";
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

  // True once `colour` shows on the second output (and nowhere on the first),
  // or, with `shown` false, once it shows nowhere.
  bool OnSecondOutput(const QColor& colour, bool shown) {
    return WaitUntil(
        [&] {
          const QImage shot = weston_.Picture();
          int first = 0, second = 0;
          for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
              if (shot.pixelColor(x, y) == colour) ++(x < kWidth ? first : second);
          return !shot.isNull() && (shown ? first == 0 && second > 0 : first + second == 0);
        },
        20s);
  }

  static constexpr int kWidth = 800, kHeight = 600;
  const QColor kLitTarget{255, 0, 255};
  // The touch test's white covers the second output (its row at three
  // quarters' height holds no cross nor text), and not the first; or, with
  // `shown` false, that picture is gone.
  bool TouchTestOnSecondOutput(bool shown) {
    return WaitUntil(
        [&] {
          const QImage shot = weston_.Picture();
          bool white = !shot.isNull();
          for (int x = 0; white && x < 2 * kWidth; ++x)
            white = (shot.pixelColor(x, 3 * kHeight / 4) == Qt::white) == (x >= kWidth);
          return !shot.isNull() && white == shown;
        },
        20s);
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
  ASSERT_EQ(weston_.OutputsOfWindow(console_.Pid(), 20s), std::vector<std::string>{"screen1"})
      << "the console is not on the second output";

  // The configuration and calibration pages ask the controller when shown.
  ASSERT_TRUE(KeyUntilAsked("ctrl+Tab", kCommandReportId, CFG_12)) << Log();
  ASSERT_TRUE(KeyUntilAsked("ctrl+Tab", kCommandReportId, CAL_OPTION_13)) << Log();
  ASSERT_TRUE(KeyUntilAsked("alt+c", kCalibrationReportId, CAL_BEGIN)) << Log();
  ASSERT_TRUE(OnSecondOutput(kLitTarget, true)) << "the calibration is not before the user";
  ASSERT_TRUE(KeyUntilAsked("Escape", kCalibrationReportId, CAL_END));
  ASSERT_TRUE(OnSecondOutput(kLitTarget, false));

  // The touch test goes full screen on the console's output too.
  Keys({"super+Tab", "alt+s"});
  ASSERT_TRUE(TouchTestOnSecondOutput(true)) << "the touch test is not on the console's output";
  Keys({"Escape"});
  ASSERT_TRUE(TouchTestOnSecondOutput(false)) << "the touch test did not close";

  // Weston focuses no window when a full-screen one closes: the user takes
  // the console back with weston's window switcher, then saves the options.
  Keys({"super+Tab", "ctrl+Tab", "alt+c", "alt+l", "alt+s"});
  EXPECT_TRUE(
      WaitUntil([&] { return Log().find("Completed successfully.") != std::string::npos; }, 20s))
      << Log();
  EXPECT_TRUE(std::filesystem::exists(folder_.File("xdg/autostart/OrvelleConsole.desktop")));
  Keys({"Escape"});
  EXPECT_EQ(console_.WaitExit(20s), 0) << Log();
}

}  // namespace
}  // namespace orvelle::e2e
