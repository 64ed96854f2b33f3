#pragma once
// One calibration run: which target is active, the steady-point capture from
// raw touch reports, and the half-second timer's count-down and time-outs.
// The dialog forwards reports and ticks here and acts on what comes back; it
// keeps no run state of its own.

#include <array>
#include <cstdint>
#include <span>

#include "calibration/core/calibration_math.h"
#include "calibration/core/target_sequence.h"
#include "devlink/protocol.h"

namespace orvelle {

// A point counts only after this many consecutive reports that stay within
// kSteadyDistance of both the previous report and the running mean.
inline constexpr int kSeriesLength = 100;
inline constexpr int kSettlingSamples = 10;  // dropped from the mean: the finger still lands
inline constexpr double kSteadyDistance = 40.0;
// A later target must lie this far from the one before: a second touch on the
// previous target is not taken.
inline constexpr double kMinTargetDistance = 1000.0;
inline constexpr int kTicksPerTarget = 40;  // 20 s at 500 ms
inline constexpr int kTicksToAccept = 60;   // 30 s
inline constexpr int kInitialCalMode = 3;

enum class CaptureResult {
  Ignored,               // no active target, or not a touching report
  Added,                 // the series grew
  SeriesRestarted,       // a jump: the series starts again with this report
  PointRejected,         // too near the previous target; touch it again
  TargetAccepted,        // the next target is active
  RunComplete,           // every target has its point; result() is ready to send
  CalibrationUndefined,  // the points give no calibration; the last target must be touched again
};

struct TickAction {
  enum Kind { UpdateTexts, Cancel } kind = UpdateTexts;
  bool complete = false;  // show the completion instruction and the OK and Cancel buttons
  int seconds = 0;        // for the count-down line
};

class CalibrationRun {
 public:
  // The answer to CAL_GET_MODE; modes other than 2, 3 and 4 are not taken.
  bool SetCalibrationMode(int mode);
  void SetDisplay(int osClass, int orientation);
  // End of the dialog's initialisation: the first target becomes active.
  void Start();

  // The five payload bytes of a CAL_RAW_POINT report: state, x low, x high,
  // y low, y high.
  CaptureResult CaptureSample(std::span<const uint8_t, 5> p);
  // The controller acknowledged result(): the user may now keep it.
  void ResultTaken();
  // One 500 ms timer tick.
  TickAction Tick();

  int calMode() const { return calMode_; }
  int targetCount() const { return targetCount_; }
  int targetIndex() const { return targetIndex_; }
  bool blinkOn() const { return blinkOn_; }
  // The result was acknowledged: the run waits for the user to keep it.
  bool finished() const { return finished_; }
  int tickCount() const { return tickCount_; }
  int sampleCount() const { return sampleCount_; }
  int osClass() const { return osClass_; }
  int orientation() const { return orientation_; }
  const RawPoints& points() const { return points_; }
  // Valid once CaptureSample returned RunComplete.
  const CalibrationResult& result() const { return result_; }

  TargetLook LookOf(int slot) const { return LookOfSlot(calMode_, targetIndex_, blinkOn_, slot); }

 private:
  bool IsSteady(uint16_t x, uint16_t y) const;
  CaptureResult FinishPoint();
  void NextTarget();

  int calMode_ = kInitialCalMode;
  int targetCount_ = 0;
  int targetIndex_ = -1;
  bool blinkOn_ = false;
  bool finished_ = false;
  int tickCount_ = 0;
  int osClass_ = 3;
  int orientation_ = 0;
  std::array<uint16_t, kSeriesLength> sampleX_{};
  std::array<uint16_t, kSeriesLength> sampleY_{};
  int sampleCount_ = 0;
  RawPoints points_;
  CalibrationResult result_;
};

}  // namespace orvelle
