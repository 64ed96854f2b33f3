// Tessaly as a user starts it: its own process, a language pack beside it,
// the simulated controller found like a plugged-in one, message boxes logged.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <memory>

#include "devlink/frame.h"
#include "devlink/protocol.h"
#include "sim/simulated_controller.h"
#include "tests/support/sim_fixture.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;

struct QtCore : ::testing::Environment {
  void SetUp() override { app = std::make_unique<QCoreApplication>(argc, argv); }
  void TearDown() override { app.reset(); }
  int argc = 1;
  char name[16] = "e2e_calibration";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QCoreApplication> app;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtCore);

// The program in a folder of its own with the packs it loads, so that it
// finds them as an installed program finds its own.
class TessalyE2E : public ::testing::Test {
 protected:
  TessalyE2E() {
    EXPECT_TRUE(QFile::copy(TESSALY_EXECUTABLE, home_ + "/Tessaly"));
    for (const QString pack : {"TessalyEnglish.rcc", "TessalyChinese.rcc"})
      EXPECT_TRUE(QFile::copy(TESSALY_PACK_DIR "/" + pack, home_ + "/" + pack));
  }

  void Start(const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ORVELLE_MESSAGE_BOXES", "log");
    env.insert("ORVELLE_SIM_DIR", QString::fromStdString(simFolder_.Path()));
    env.insert("ORVELLE_CONFIG_DIR", home_ + "/config");
    env.insert("XDG_RUNTIME_DIR", home_);
    process_.setProcessEnvironment(env);
    process_.start(home_ + "/Tessaly", arguments);
    ASSERT_TRUE(process_.waitForStarted(10000));
  }

  QString Finish() {
    EXPECT_TRUE(process_.waitForFinished(60000)) << "Tessaly did not end";
    EXPECT_EQ(process_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process_.exitCode(), 0);
    return QString::fromLocal8Bit(process_.readAllStandardError());
  }

  std::optional<SimEvent> WaitForFrame(uint8_t code, std::chrono::milliseconds limit,
                                       SimEvent::Kind kind = SimEvent::Kind::In) {
    return testing::AwaitFrame(*sim_, kind, kCalibrationReportId, code, limit);
  }

  orvelle::testing::TempFolder homeFolder_, simFolder_;
  const QString home_ = QString::fromStdString(homeFolder_.Path());
  std::unique_ptr<SimulatedController> sim_;
  QProcess process_;
};

// The screen option, by number, leaves the language to the rest of the line;
// without a controller the program says so in that language and ends.
TEST_F(TessalyE2E, AloneItSaysSoThenNineTargetsAreWrittenAndUnpluggingEndsIt) {
  Start({QStringLiteral("--screen"), QStringLiteral("1"), QStringLiteral("1")});
  const QString alone = Finish();
  EXPECT_TRUE(alone.contains(QString::fromUtf8("未找到设备"))) << alone.toStdString();

  sim_ = testing::StartController(simFolder_.Path(), {.calMode = 4});
  ASSERT_TRUE(sim_);
  // More reports per target than a point needs: a touch that lands while the
  // program is still starting is made up for, and the surplus on one target
  // is rejected as too near it when the next target is active.
  sim_->TouchTargets({.reportsPerTarget = 250, .rate = 500, .gap = 100ms});
  Start({QStringLiteral("0")});

  const std::optional<SimEvent> points = WaitForFrame(CAL_SET_POINTS, 60s);
  ASSERT_TRUE(points.has_value()) << "no result written";
  EXPECT_EQ(points->bytes[2], 36) << "nine points";
  // The request is logged as it arrives; the result is pending once answered.
  ASSERT_TRUE(WaitForFrame(CAL_SET_POINTS, 10s, SimEvent::Kind::Out).has_value());
  ASSERT_TRUE(sim_->Pending().has_value());

  sim_->Unplug();
  const QString log = Finish();
  EXPECT_TRUE(log.contains("The touch controller was unplugged")) << log.toStdString();
  EXPECT_TRUE(log.contains("is not connected. Nothing was sent")) << log.toStdString();
  EXPECT_FALSE(WaitForFrame(CAL_END, 0ms).has_value());
}

// Ended by the system during a run, it ends the run in the controller first:
// a controller left calibrating sends raw points instead of touches.
TEST_F(TessalyE2E, ASignalEndsTheRunInTheController) {
  sim_ = testing::StartController(simFolder_.Path(), {.calMode = 2});
  ASSERT_TRUE(sim_);
  Start({QStringLiteral("0")});
  ASSERT_TRUE(WaitForFrame(CAL_BEGIN, 60s, SimEvent::Kind::Out).has_value());
  process_.terminate();
  ASSERT_TRUE(process_.waitForFinished(60000));
  EXPECT_EQ(process_.exitStatus(), QProcess::CrashExit) << "it ends by the signal";
  const std::optional<SimEvent> end = WaitForFrame(CAL_END, 0ms);
  ASSERT_TRUE(end.has_value());
  EXPECT_EQ(end->bytes[3], 0) << "the run discarded";
}

}  // namespace
}  // namespace orvelle
