// Tessaly on an output turned by each quarter, under weston's headless back
// end, as a Wayland client and as an X11 client through XWayland, against the
// simulated controller: the window covers the turned output, the active target
// is drawn where a user before the turned panel sees it, and a run driven by
// the simulator's targets writes what the calibration arithmetic gives for
// that rotation. ORVELLE_SCREENSHOT_DIR, when set, receives what the user sees.
// On weston's desktop of two outputs, the run goes full screen on the chosen one.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QTransform>
#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "calibration/core/calibration_math.h"
#include "devlink/frame.h"
#include "devlink/protocol.h"
#include "sim/simulated_controller.h"
#include "sim/touch_geometry.h"
#include "tests/support/e2e/child_process.h"
#include "tests/support/e2e/desktop.h"
#include "tests/support/e2e/weston.h"
#include "tests/support/sim_fixture.h"

namespace orvelle::e2e {
namespace {

using namespace std::chrono_literals;

constexpr int kPanelWidth = 1280, kPanelHeight = 800;
constexpr int kNineTargets = 4;
constexpr int kOtherPlatformClass = 3;
const QColor kActiveTarget{255, 0, 255};
const QColor kBackground{224, 224, 224};

// The panel's slot under the user's slot `slot` when the panel is turned
// `quarters` clockwise: the ring of eight moves back two slots per quarter.
int PanelSlot(int slot, int quarters) {
  return slot == 0 ? 0 : 1 + (slot - 1 + 6 * quarters) % 8;
}

QPoint PanelPixel(RawPoint raw) {
  return {raw.x * kPanelWidth / 4096, raw.y * kPanelHeight / 4096};
}

bool HasColourNear(const QImage& image, QPoint at, const QColor& colour) {
  for (int dy = -4; dy <= 4; ++dy)
    for (int dx = -4; dx <= 4; ++dx) {
      const QPoint p = at + QPoint(dx, dy);
      if (image.valid(p) && image.pixelColor(p).rgb() == colour.rgb()) return true;
    }
  return false;
}

struct Rotation {
  const char* transform;
  int quarters;
  bool wayland;
};

void PrintTo(const Rotation& r, std::ostream* out) {
  *out << (r.wayland ? "Wayland, " : "X11, ") << r.transform;
}

std::string Name(const ::testing::TestParamInfo<Rotation>& info) {
  return std::string(info.param.wayland ? "Wayland" : "X11") + "Turned" +
         std::to_string(90 * info.param.quarters);
}

// Tessaly against a simulated controller in nine-target mode, on a weston.
class DisplayRun : public ::testing::Test {
 protected:
  void PlugController() {
    sim_ = testing::StartController(folder_.File("sim"), {.calMode = kNineTargets});
    ASSERT_TRUE(sim_);
  }

  bool StartTessaly(bool wayland, const std::vector<std::string>& arguments = {}) {
    const std::vector<std::string> more = {
        "ORVELLE_SIM_DIR=" + folder_.File("sim"), "ORVELLE_MESSAGE_BOXES=log",
        "ORVELLE_CONFIG_DIR=" + folder_.File("config"), "XDG_CONFIG_HOME=" + folder_.File("xdg")};
    std::vector<std::string> argv = {TESSALY_EXECUTABLE};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return tessaly_.Start(argv, wayland ? weston_.WaylandEnv(more) : weston_.X11Env(more),
                          folder_.File("tessaly.log"));
  }

  std::optional<SimEvent> Received(uint8_t code, std::chrono::milliseconds limit) {
    return testing::AwaitFrame(*sim_, SimEvent::Kind::In, kCalibrationReportId, code, limit);
  }

  // The panel's picture once a target is lit at `at`; a null image when none
  // came.
  QImage WaitForTargetAt(QPoint at) {
    QImage shot;
    const bool lit =
        WaitUntil([&] { return HasColourNear(shot = weston_.Picture(), at, kActiveTarget); }, 15s);
    return lit ? shot : QImage();
  }

  TempFolder folder_;
  Weston weston_;
  std::unique_ptr<SimulatedController> sim_;
  ChildProcess tessaly_;
};

class RotatedDisplay : public DisplayRun, public ::testing::WithParamInterface<Rotation> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        weston_.Start(folder_.File("weston"), {kPanelWidth, kPanelHeight, GetParam().transform}))
        << ReadFile(weston_.Log());
    PlugController();
  }

  void KeepForTheUser(const QImage& panel) {
    const char* folder = std::getenv("ORVELLE_SCREENSHOT_DIR");
    if (!folder || !GetParam().wayland) return;
    const QImage seen = panel.transformed(QTransform().rotate(90 * GetParam().quarters));
    seen.save(QString("%1/tessaly-turned-%2.png").arg(folder).arg(90 * GetParam().quarters));
  }
};

TEST_P(RotatedDisplay, TargetsWhereTheUserSeesThemAndTheRecordOfTheRotation) {
  const int quarters = GetParam().quarters;
  ASSERT_TRUE(StartTessaly(GetParam().wayland));
  ASSERT_TRUE(Received(CAL_BEGIN, 30s)) << ReadFile(folder_.File("tessaly.log"));

  // Where the user touches each target, in capture order, on the turned panel.
  RawPoints touched;
  std::vector<RawPoint> positions;
  for (int slot = 0; slot < 9; ++slot) {
    const RawPoint at = NominalTarget(PanelSlot(slot, quarters));
    touched.x[slot] = at.x, touched.y[slot] = at.y;
    positions.push_back(at);
  }

  // The centre first, by hand, once it is lit; then the user's top-left target.
  ASSERT_FALSE(WaitForTargetAt(PanelPixel(positions[0])).isNull()) << "no centre target";
  sim_->Touch({.at = positions[0], .count = 150, .rate = 500});
  ASSERT_TRUE(sim_->WaitTouchesDone(20s));
  const QImage panel = WaitForTargetAt(PanelPixel(positions[1]));
  ASSERT_FALSE(panel.isNull()) << "no target lit at the user's top left, panel pixel "
                               << PanelPixel(positions[1]).x() << ","
                               << PanelPixel(positions[1]).y();
  // The window covers the whole output: the compositor's desktop shows nowhere.
  for (const QPoint corner : {QPoint(0, 0), QPoint(kPanelWidth - 1, 0), QPoint(0, kPanelHeight - 1),
                              QPoint(kPanelWidth - 1, kPanelHeight - 1)})
    EXPECT_EQ(panel.pixelColor(corner).rgb(), kBackground.rgb()) << corner.x() << "," << corner.y();
  KeepForTheUser(panel);

  // The simulator's run touches the rest (its touch on the centre, done
  // already, is refused as too near it).
  sim_->TouchTargets({.positions = positions,
                      .reportsPerTarget = 150,
                      .rate = 500,
                      .gap = 100ms,
                      .startDelay = 0ms});
  const std::optional<SimEvent> points = Received(CAL_SET_POINTS, 60s);
  ASSERT_TRUE(points.has_value()) << ReadFile(folder_.File("tessaly.log"));
  ASSERT_GE(points->bytes.size(), 39u);

  CalibrationResult expected;
  ASSERT_TRUE(ComputeCalibration(kNineTargets, touched, kOtherPlatformClass, quarters, expected));
  for (size_t j = 0; j < 9; ++j) {
    const auto value = [&](size_t axis) {
      return static_cast<int16_t>(ReadLittleEndian16(points->bytes[3 + 4 * j + 2 * axis],
                                                     points->bytes[4 + 4 * j + 2 * axis]));
    };
    EXPECT_EQ(value(0), expected.edgeX[j]) << "slot " << j;
    EXPECT_EQ(value(1), expected.edgeY[j]) << "slot " << j;
  }
}

INSTANTIATE_TEST_SUITE_P(
    EachQuarter, RotatedDisplay,
    ::testing::Values(Rotation{"normal", 0, true}, Rotation{"rotate-90", 1, true},
                      Rotation{"rotate-180", 2, true}, Rotation{"rotate-270", 3, true},
                      Rotation{"normal", 0, false}, Rotation{"rotate-90", 1, false},
                      Rotation{"rotate-180", 2, false}, Rotation{"rotate-270", 3, false}),
    Name);

// A Wayland client cannot place its window: the screen is set before the
// window goes full screen, and the compositor puts it there.
TEST_F(DisplayRun, FullScreenOnTheChosenOfTwoOutputs) {
  constexpr int kWidth = 800, kHeight = 600;
  VirtualDisplay x;
  ASSERT_TRUE(x.Start(folder_.File("x"), {2 * kWidth, kHeight}));
  ASSERT_TRUE(weston_.Start(folder_.File("weston"),
                            {.width = kWidth, .height = kHeight, .count = 2, .xDisplay = x.Name()}))
      << ReadFile(weston_.Log());
  PlugController();
  ASSERT_TRUE(StartTessaly(true, {"--screen", "1"}));
  ASSERT_TRUE(Received(CAL_BEGIN, 30s)) << ReadFile(folder_.File("tessaly.log"));
  const QImage desktop = WaitForTargetAt({kWidth + kWidth / 2, kHeight / 2});
  ASSERT_FALSE(desktop.isNull()) << "no target at the second output's centre";
  for (const QPoint corner : {QPoint(kWidth, 0), QPoint(2 * kWidth - 1, kHeight - 1)})
    EXPECT_EQ(desktop.pixelColor(corner).rgb(), kBackground.rgb()) << corner.x();
  EXPECT_NE(desktop.pixelColor(kWidth / 2, kHeight / 2).rgb(), kBackground.rgb())
      << "the first output is covered too";
}

}  // namespace
}  // namespace orvelle::e2e
