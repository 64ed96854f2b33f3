#include "calibration/core/calibration_run.h"

#include <gtest/gtest.h>

namespace orvelle {
namespace {

using R = CaptureResult;

R Touch(CalibrationRun& run, int x, int y, uint8_t state = 7) {
  const std::array<uint8_t, 5> r{state, static_cast<uint8_t>(x & 0xFF),
                                 static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(y & 0xFF),
                                 static_cast<uint8_t>(y >> 8)};
  return run.CaptureSample(std::span<const uint8_t, 5>(r));
}

// Holds one steady touch for `count` reports; the last report's result.
R Hold(CalibrationRun& run, int x, int y, int count = kSeriesLength) {
  R last = R::Ignored;
  for (int i = 0; i < count; ++i)
    last = Touch(run, x, y);
  return last;
}

CalibrationRun Started(int mode) {
  CalibrationRun run;
  run.SetCalibrationMode(mode);
  run.Start();
  return run;
}

// Target index, samples in the series, ticks since the target became active.
std::tuple<int, int, int> Where(const CalibrationRun& run) {
  return {run.targetIndex(), run.sampleCount(), run.tickCount()};
}

void Ticks(CalibrationRun& run, int n) {
  for (int i = 0; i < n; ++i)
    run.Tick();
}

constexpr int kCornersX[4] = {127, 3968, 3968, 127};
constexpr int kCornersY[4] = {127, 127, 3968, 3968};

TEST(CalibrationRun, HundredSteadyReportsMakeAPointWithoutTheFirstTenAtLeast1000FromTheLast) {
  CalibrationRun run = Started(4);
  EXPECT_EQ(Hold(run, 1000, 2000, 10), R::Added);
  EXPECT_EQ(Hold(run, 1030, 2009, 89), R::Added);
  EXPECT_EQ(Where(run), std::tuple(0, 99, 0));
  EXPECT_EQ(Touch(run, 1030, 2009), R::TargetAccepted);
  EXPECT_EQ(Where(run), std::tuple(1, 0, 0));
  EXPECT_EQ((std::pair<int, int>(run.points().x[0], run.points().y[0])), std::pair(1030, 2009));
  // A point nearer than 1000 to the previous one is rejected.
  run.Tick();
  EXPECT_EQ(Hold(run, 1630, 2808), R::PointRejected);  // 999.4 away
  EXPECT_EQ(Where(run), std::tuple(1, 0, 1)) << "the time allowance is not renewed";
  EXPECT_EQ(Hold(run, 1630, 2809), R::TargetAccepted);  // exactly 1000
  EXPECT_EQ(Where(run), std::tuple(2, 0, 0));
}

// A report more than 40 from the previous one or from the running mean, or
// touching before the run starts, does not join the series.
TEST(CalibrationRun, JumpsDriftAndReportsThatAreNotTouching) {
  CalibrationRun run = Started(4);
  Hold(run, 1000, 1000, 99);
  EXPECT_EQ(Touch(run, 1041, 1000), R::SeriesRestarted);
  EXPECT_EQ(run.sampleCount(), 1) << "the jumping report starts the new series";
  EXPECT_EQ(Hold(run, 1041, 1000, 98), R::Added);
  EXPECT_EQ(Touch(run, 1041, 1000), R::TargetAccepted);

  run = Started(4);
  Hold(run, 1000, 1000, 50);
  EXPECT_EQ(Touch(run, 1024, 1032), R::Added) << "exactly 40 away is steady";

  run = Started(4);
  EXPECT_EQ(Touch(run, 1000, 1000), R::Added);
  EXPECT_EQ(Touch(run, 1030, 1000), R::Added);
  EXPECT_EQ(Touch(run, 1060, 1000), R::SeriesRestarted) << "45 from the mean 1015";
  EXPECT_EQ(run.sampleCount(), 1);

  run = Started(4);
  Hold(run, 1000, 1000, 60);
  EXPECT_EQ(Touch(run, 3000, 3000, 0), R::Ignored);
  EXPECT_EQ(Touch(run, 3000, 3000, 6), R::Ignored);
  EXPECT_EQ(run.sampleCount(), 60);
  EXPECT_EQ(Hold(run, 1000, 1000, 40), R::TargetAccepted);

  run = CalibrationRun();
  run.SetCalibrationMode(4);
  EXPECT_EQ(Touch(run, 1000, 1000), R::Ignored) << "not started";
  EXPECT_EQ(run.sampleCount(), 0);
}

TEST(CalibrationRun, CountDownPerTargetEndsOnTheFortiethTick) {
  CalibrationRun run = Started(4);
  const TickAction first = run.Tick();
  EXPECT_EQ(std::tuple(first.complete, first.seconds, run.blinkOn()), std::tuple(false, 20, true));
  run.Tick();
  EXPECT_FALSE(run.blinkOn());
  Ticks(run, 36);
  EXPECT_EQ(run.Tick().seconds, 1);
  EXPECT_EQ(run.Tick().kind, TickAction::Cancel);

  run = Started(4);
  Ticks(run, 30);
  Hold(run, 2048, 2048);
  EXPECT_EQ(run.Tick().seconds, 20) << "an accepted target renews the 20 s";
}

// The user may keep the result once the controller took it; after that one
// more point restarts the accept count-down only.
TEST(CalibrationRun, FourCornersCompleteTheRunAndStartTheAcceptCountDown) {
  CalibrationRun run = Started(2);
  for (int t = 0; t < 3; ++t)
    EXPECT_EQ(Hold(run, kCornersX[t], kCornersY[t]), R::TargetAccepted);
  EXPECT_EQ(Hold(run, kCornersX[3], kCornersY[3]), R::RunComplete);
  EXPECT_FALSE(run.finished()) << "not before the controller took the result";
  EXPECT_FALSE(run.Tick().complete);
  run.ResultTaken();
  EXPECT_TRUE(run.finished());
  EXPECT_EQ(run.result().calMode, 2);
  EXPECT_EQ(run.result().coefficients, kIdentityCoefficients);

  TickAction a = run.Tick();
  EXPECT_EQ(std::pair(a.complete, a.seconds), std::pair(true, 30));
  Ticks(run, 18);
  EXPECT_EQ(Hold(run, 2048, 2048), R::TargetAccepted);
  EXPECT_EQ(run.result().coefficients, kIdentityCoefficients);
  EXPECT_EQ(Hold(run, 127, 127), R::Ignored);
  Ticks(run, 58);
  EXPECT_EQ(run.Tick().seconds, 1);
  EXPECT_EQ(run.Tick().kind, TickAction::Cancel);
}

// Bottom left touched on the top-left target: far enough from the bottom
// right, but it leaves three corners on one line.
TEST(CalibrationRun, SameCornerTouchedTwiceIsRefusedAndTouchedAgain) {
  CalibrationRun run = Started(2);
  for (int t = 0; t < 3; ++t)
    Hold(run, kCornersX[t], kCornersY[t]);
  run.Tick();
  EXPECT_EQ(Hold(run, kCornersX[0], kCornersY[0]), R::CalibrationUndefined);
  EXPECT_FALSE(run.finished());
  EXPECT_EQ(Where(run), std::tuple(3, 0, 1));
  EXPECT_EQ(Hold(run, kCornersX[3], kCornersY[3]), R::RunComplete);
  EXPECT_EQ(run.result().coefficients, kIdentityCoefficients);
}

TEST(CalibrationRun, NineTargetRunSendsTheNominalEdges) {
  CalibrationRun run = Started(4);
  run.SetDisplay(6, 0);
  const int xs[9] = {2048, 127, 2048, 3968, 3968, 3968, 2048, 127, 127};
  const int ys[9] = {2048, 127, 127, 127, 2048, 3968, 3968, 3968, 2048};
  for (int t = 0; t < 9; ++t)
    ASSERT_EQ(Hold(run, xs[t], ys[t]), t < 8 ? R::TargetAccepted : R::RunComplete);
  EXPECT_EQ(run.result().edgeX,
            (std::array<int32_t, 9>{2048, 0, 2048, 4096, 4096, 4096, 2048, 0, -1}));
  EXPECT_EQ(run.result().edgeY,
            (std::array<int32_t, 9>{2048, 0, -1, 0, 2048, 4096, 4096, 4096, 2048}));
  EXPECT_EQ(Hold(run, 2048, 2048), R::Ignored) << "all nine slots are used";
}

TEST(CalibrationRun, ModeFixesTheTargetsElseOnlyTheCentreIsTaken) {
  for (const auto& [mode, count] : {std::pair{2, 4}, std::pair{3, 5}, std::pair{4, 9}})
    EXPECT_EQ(Started(mode).targetCount(), count) << "mode " << mode;
  CalibrationRun run;
  EXPECT_FALSE(run.SetCalibrationMode(5));
  run.Start();
  EXPECT_EQ(std::pair(run.calMode(), run.targetCount()), std::pair(3, 0));
  EXPECT_EQ(Hold(run, 2048, 2048), R::TargetAccepted);
  EXPECT_EQ(Hold(run, 127, 127), R::Ignored);
}

}  // namespace
}  // namespace orvelle
