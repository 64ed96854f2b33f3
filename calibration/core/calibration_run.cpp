#include "calibration/core/calibration_run.h"

#include <cmath>

namespace orvelle {
namespace {

double Distance(int64_t dx, int64_t dy) {
  return std::sqrt(static_cast<double>(dx * dx + dy * dy));
}

}  // namespace

bool CalibrationRun::SetCalibrationMode(int mode) {
  const int count = TargetCountForMode(mode);
  if (count == 0) return false;
  calMode_ = mode;
  targetCount_ = count;
  return true;
}

void CalibrationRun::SetDisplay(int osClass, int orientation) {
  osClass_ = osClass;
  orientation_ = orientation;
}

void CalibrationRun::Start() {
  targetIndex_ = 0;
}

CaptureResult CalibrationRun::CaptureSample(std::span<const uint8_t, 5> p) {
  const int t = targetIndex_;
  // After completion one more point can still be taken in modes 2 and 3
  // (t == targetCount); it restarts the accept count-down but not the result.
  if (t < 0 || t > targetCount_ || t >= kTargetSlots) return CaptureResult::Ignored;
  if (p[0] != kTouchStateTouching) return CaptureResult::Ignored;
  const auto x = static_cast<uint16_t>(p[1] | (p[2] << 8));
  const auto y = static_cast<uint16_t>(p[3] | (p[4] << 8));

  bool restarted = false;
  if (sampleCount_ > 0 && !IsSteady(x, y)) {
    sampleCount_ = 0;
    restarted = true;
  }
  sampleX_[sampleCount_] = x;
  sampleY_[sampleCount_] = y;
  ++sampleCount_;
  if (sampleCount_ < kSeriesLength) {
    return restarted ? CaptureResult::SeriesRestarted : CaptureResult::Added;
  }
  return FinishPoint();
}

bool CalibrationRun::IsSteady(uint16_t x, uint16_t y) const {
  const int n = sampleCount_;
  if (Distance(int64_t{x} - sampleX_[n - 1], int64_t{y} - sampleY_[n - 1]) > kSteadyDistance)
    return false;
  int64_t sumX = 0, sumY = 0;
  for (int i = 0; i < n; ++i) {
    sumX += sampleX_[i];
    sumY += sampleY_[i];
  }
  return Distance(x - sumX / n, y - sumY / n) <= kSteadyDistance;
}

CaptureResult CalibrationRun::FinishPoint() {
  const int t = targetIndex_;
  int64_t sumX = 0, sumY = 0;
  for (int i = kSettlingSamples; i < kSeriesLength; ++i) {
    sumX += sampleX_[i];
    sumY += sampleY_[i];
  }
  constexpr int kKept = kSeriesLength - kSettlingSamples;
  points_.x[t] = static_cast<uint16_t>(sumX / kKept);
  points_.y[t] = static_cast<uint16_t>(sumY / kKept);
  sampleCount_ = 0;

  if (t == 0) {
    NextTarget();
    return CaptureResult::TargetAccepted;
  }
  const double d =
      Distance(int64_t{points_.x[t]} - points_.x[t - 1], int64_t{points_.y[t]} - points_.y[t - 1]);
  if (d < kMinTargetDistance) return CaptureResult::PointRejected;
  if (t + 1 != targetCount_) {
    NextTarget();
    return CaptureResult::TargetAccepted;
  }
  // Last target: a point set that defines no calibration (three chosen
  // corners on one line, e.g. the first corner touched again) is refused like
  // a point too near its predecessor, so the user touches the target again.
  if (!ComputeCalibration(calMode_, points_, osClass_, orientation_, result_)) {
    return CaptureResult::CalibrationUndefined;
  }
  NextTarget();
  return CaptureResult::RunComplete;
}

void CalibrationRun::ResultTaken() {
  finished_ = true;
  tickCount_ = 0;
}

void CalibrationRun::NextTarget() {
  ++targetIndex_;
  tickCount_ = 0;
}

TickAction CalibrationRun::Tick() {
  blinkOn_ = !blinkOn_;
  ++tickCount_;
  if (finished_) {
    if (tickCount_ >= kTicksToAccept) return {TickAction::Cancel};
    return {TickAction::UpdateTexts, true, (kTicksToAccept + 1 - tickCount_) / 2};
  }
  if (tickCount_ >= kTicksPerTarget) return {TickAction::Cancel};
  return {TickAction::UpdateTexts, false, (kTicksPerTarget + 1 - tickCount_) / 2};
}

}  // namespace orvelle
