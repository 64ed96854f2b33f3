#include "calibration/core/calibration_run.h"

#include <gtest/gtest.h>

namespace orvelle {
namespace {

CaptureResult Touch(CalibrationRun& run, int x, int y, uint8_t state = 7) {
  const std::array<uint8_t, 5> r{state, static_cast<uint8_t>(x & 0xFF),
                                 static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(y & 0xFF),
                                 static_cast<uint8_t>(y >> 8)};
  return run.CaptureSample(std::span<const uint8_t, 5>(r));
}

// Holds one steady touch for `count` reports; the last report's result.
CaptureResult Hold(CalibrationRun& run, int x, int y, int count = kSeriesLength) {
  CaptureResult last = CaptureResult::Ignored;
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

constexpr int kCornersX[4] = {127, 3968, 3968, 127};
constexpr int kCornersY[4] = {127, 127, 3968, 3968};

TEST(CalibrationRun, HundredSteadyReportsMakeAPointWithoutTheFirstTen) {
  CalibrationRun run = Started(4);
  EXPECT_EQ(Hold(run, 1000, 2000, 10), CaptureResult::Added);
  EXPECT_EQ(Hold(run, 1030, 2009, 89), CaptureResult::Added);
  EXPECT_EQ(run.targetIndex(), 0);
  EXPECT_EQ(run.sampleCount(), 99);
  EXPECT_EQ(Touch(run, 1030, 2009), CaptureResult::TargetAccepted);
  EXPECT_EQ(run.targetIndex(), 1);
  EXPECT_EQ(run.sampleCount(), 0);
  EXPECT_EQ(run.points().x[0], 1030);
  EXPECT_EQ(run.points().y[0], 2009);
}

TEST(CalibrationRun, JumpOfMoreThanFortyRestartsTheSeries) {
  CalibrationRun run = Started(4);
  Hold(run, 1000, 1000, 99);
  EXPECT_EQ(Touch(run, 1041, 1000), CaptureResult::SeriesRestarted);
  EXPECT_EQ(run.sampleCount(), 1) << "the jumping report starts the new series";
  EXPECT_EQ(Hold(run, 1041, 1000, 98), CaptureResult::Added);
  EXPECT_EQ(Touch(run, 1041, 1000), CaptureResult::TargetAccepted);

  run = Started(4);
  Hold(run, 1000, 1000, 50);
  EXPECT_EQ(Touch(run, 1024, 1032), CaptureResult::Added) << "exactly 40 away is steady";
}

TEST(CalibrationRun, SlowDriftIsCaughtByTheRunningMean) {
  CalibrationRun run = Started(4);
  EXPECT_EQ(Touch(run, 1000, 1000), CaptureResult::Added);
  EXPECT_EQ(Touch(run, 1030, 1000), CaptureResult::Added);
  // 30 from the previous report but 45 from the mean 1015.
  EXPECT_EQ(Touch(run, 1060, 1000), CaptureResult::SeriesRestarted);
  EXPECT_EQ(run.sampleCount(), 1);
}

TEST(CalibrationRun, ReportsThatAreNotTouchingNeitherAddNorRestart) {
  CalibrationRun run = Started(4);
  Hold(run, 1000, 1000, 60);
  EXPECT_EQ(Touch(run, 3000, 3000, 0), CaptureResult::Ignored);
  EXPECT_EQ(Touch(run, 3000, 3000, 6), CaptureResult::Ignored);
  EXPECT_EQ(run.sampleCount(), 60);
  EXPECT_EQ(Hold(run, 1000, 1000, 40), CaptureResult::TargetAccepted);
}

TEST(CalibrationRun, NothingIsCapturedBeforeTheRunStarts) {
  CalibrationRun run;
  run.SetCalibrationMode(4);
  EXPECT_EQ(Touch(run, 1000, 1000), CaptureResult::Ignored);
  EXPECT_EQ(run.sampleCount(), 0);
}

TEST(CalibrationRun, PointNearThePreviousTargetIsRejected) {
  CalibrationRun run = Started(4);
  Hold(run, 2048, 2048);
  run.Tick();
  EXPECT_EQ(Hold(run, 2648, 2847), CaptureResult::PointRejected);  // 999.4 away
  EXPECT_EQ(run.targetIndex(), 1);
  EXPECT_EQ(run.sampleCount(), 0);
  EXPECT_EQ(run.tickCount(), 1) << "the time allowance is not renewed";
  EXPECT_EQ(Hold(run, 2648, 2848), CaptureResult::TargetAccepted);  // exactly 1000
  EXPECT_EQ(run.targetIndex(), 2);
  EXPECT_EQ(run.tickCount(), 0);
}

TEST(CalibrationRun, CountDownPerTargetEndsOnTheFortiethTick) {
  CalibrationRun run = Started(4);
  const TickAction first = run.Tick();
  EXPECT_FALSE(first.complete);
  EXPECT_EQ(first.seconds, 20);
  EXPECT_TRUE(run.blinkOn());
  run.Tick();
  EXPECT_FALSE(run.blinkOn());
  for (int tick = 3; tick < 39; ++tick)
    run.Tick();
  EXPECT_EQ(run.Tick().seconds, 1);
  EXPECT_EQ(run.Tick().kind, TickAction::Cancel);

  run = Started(4);
  for (int tick = 0; tick < 30; ++tick)
    run.Tick();
  Hold(run, 2048, 2048);
  EXPECT_EQ(run.Tick().seconds, 20) << "an accepted target renews the 20 s";
}

// After completion one more point restarts the accept count-down only.
TEST(CalibrationRun, FourCornersCompleteTheRunAndStartTheAcceptCountDown) {
  CalibrationRun run = Started(2);
  for (int t = 0; t < 3; ++t) {
    EXPECT_EQ(Hold(run, kCornersX[t], kCornersY[t]), CaptureResult::TargetAccepted);
  }
  EXPECT_FALSE(run.finished());
  EXPECT_EQ(Hold(run, kCornersX[3], kCornersY[3]), CaptureResult::RunComplete);
  EXPECT_TRUE(run.finished());
  EXPECT_EQ(run.result().calMode, 2);
  EXPECT_EQ(run.result().coefficients, kIdentityCoefficients);

  TickAction a = run.Tick();
  EXPECT_TRUE(a.complete);
  EXPECT_EQ(a.seconds, 30);
  for (int tick = 2; tick < 20; ++tick)
    run.Tick();
  EXPECT_EQ(Hold(run, 2048, 2048), CaptureResult::TargetAccepted);
  EXPECT_EQ(run.result().coefficients, kIdentityCoefficients);
  EXPECT_EQ(Hold(run, 127, 127), CaptureResult::Ignored);
  for (int tick = 0; tick < 59; ++tick)
    a = run.Tick();
  EXPECT_EQ(a.seconds, 1);
  EXPECT_EQ(run.Tick().kind, TickAction::Cancel);
}

TEST(CalibrationRun, SameCornerTouchedTwiceIsRefusedAndTouchedAgain) {
  CalibrationRun run = Started(2);
  for (int t = 0; t < 3; ++t)
    Hold(run, kCornersX[t], kCornersY[t]);
  run.Tick();
  // Bottom left touched on the top-left target: far enough from the bottom
  // right, but it leaves three corners on one line.
  EXPECT_EQ(Hold(run, kCornersX[0], kCornersY[0]), CaptureResult::CalibrationUndefined);
  EXPECT_FALSE(run.finished());
  EXPECT_EQ(run.targetIndex(), 3);
  EXPECT_EQ(run.sampleCount(), 0);
  EXPECT_EQ(run.tickCount(), 1);
  EXPECT_EQ(Hold(run, kCornersX[3], kCornersY[3]), CaptureResult::RunComplete);
  EXPECT_EQ(run.result().coefficients, kIdentityCoefficients);
}

TEST(CalibrationRun, NineTargetRunSendsTheNominalEdges) {
  CalibrationRun run = Started(4);
  run.SetDisplay(6, 0);
  const int xs[9] = {2048, 127, 2048, 3968, 3968, 3968, 2048, 127, 127};
  const int ys[9] = {2048, 127, 127, 127, 2048, 3968, 3968, 3968, 2048};
  for (int t = 0; t < 8; ++t)
    ASSERT_EQ(Hold(run, xs[t], ys[t]), CaptureResult::TargetAccepted);
  ASSERT_EQ(Hold(run, xs[8], ys[8]), CaptureResult::RunComplete);
  EXPECT_EQ(run.result().edgeX,
            (std::array<int32_t, 9>{2048, 0, 2048, 4096, 4096, 4096, 2048, 0, -1}));
  EXPECT_EQ(run.result().edgeY,
            (std::array<int32_t, 9>{2048, 0, -1, 0, 2048, 4096, 4096, 4096, 2048}));
  // Nothing more is taken once all nine slots are used.
  EXPECT_EQ(Hold(run, 2048, 2048), CaptureResult::Ignored);
}

TEST(CalibrationRun, ModeFixesTheTargetsElseOnlyTheCentreIsTaken) {
  for (const auto& [mode, count] : {std::pair{2, 4}, std::pair{3, 5}, std::pair{4, 9}})
    EXPECT_EQ(Started(mode).targetCount(), count) << "mode " << mode;
  CalibrationRun run;
  EXPECT_FALSE(run.SetCalibrationMode(5));
  run.Start();
  EXPECT_EQ(run.calMode(), 3);
  EXPECT_EQ(run.targetCount(), 0);
  EXPECT_EQ(Hold(run, 2048, 2048), CaptureResult::TargetAccepted);
  EXPECT_EQ(Hold(run, 127, 127), CaptureResult::Ignored);
}

}  // namespace
}  // namespace orvelle
