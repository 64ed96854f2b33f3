// Calibration-program figures, for the budget "1,000 raw reports per second
// while blinking, at most a few percent of one core":
//  1. one CAL_RAW_POINT frame interpreted and captured (a full run's mix of
//     steady series, restarts and accepted targets);
//  2. one blink: the nine target areas of a full-HD screen repainted.
// Per second that is 1,000 x (1) + 2 x (2). dialog_bench.cpp measures the
// whole dialog doing it.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <array>
#include <random>
#include <vector>

#include "calibration/core/answer.h"
#include "calibration/core/calibration_run.h"
#include "calibration/core/screen_layout.h"
#include "calibration/target_painter.h"

namespace orvelle {
namespace {

std::array<uint8_t, 48> RawPointFrame(int x, int y) {
  std::array<uint8_t, 48> f{};
  f = {6,
       0x08,
       5,
       7,
       static_cast<uint8_t>(x),
       static_cast<uint8_t>(x >> 8),
       static_cast<uint8_t>(y),
       static_cast<uint8_t>(y >> 8),
       0xFF};
  return f;
}

// A jittery touch on each of the nine targets in turn, with the odd jump.
std::vector<std::array<uint8_t, 48>> TouchStream() {
  const int xs[9] = {2048, 127, 2048, 3968, 3968, 3968, 2048, 127, 127};
  const int ys[9] = {2048, 127, 127, 127, 2048, 3968, 3968, 3968, 2048};
  std::mt19937 random(7);
  std::uniform_int_distribution<int> jitter(-6, 6);
  std::vector<std::array<uint8_t, 48>> stream;
  for (int t = 0; t < 9; ++t) {
    for (int i = 0; i < 130; ++i) {
      const int jump = (i == 40) ? 60 : 0;
      stream.push_back(RawPointFrame(xs[t] + jitter(random) + jump, ys[t] + jitter(random)));
    }
  }
  return stream;
}

void BM_RawPointCapture(benchmark::State& state) {
  const auto stream = TouchStream();
  CalibrationRun run;
  size_t next = 0;
  for (auto _ : state) {
    if (next == 0) {
      state.PauseTiming();
      run = CalibrationRun();
      run.SetCalibrationMode(4);
      run.Start();
      state.ResumeTiming();
    }
    const CalibrationAnswer answer = InterpretAnswer(stream[next]);
    benchmark::DoNotOptimize(run.CaptureSample(std::span<const uint8_t, 5>(answer.raw)));
    next = (next + 1) % stream.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RawPointCapture);

void BM_BlinkRepaintFullHd(benchmark::State& state) {
  const ScreenLayout layout =
      LayoutControls(1920, 1080, {{60, 60}, {400, 30}, {400, 30}, {100, 40}, {100, 40}});
  std::array<QRect, kTargetSlots> rects;
  for (int s = 0; s < kTargetSlots; ++s) {
    const PixelRect& r = layout.targets[s];
    rects[s] = QRect(r.x, r.y, r.width, r.height);
  }
  QImage screen(1920, 1080, QImage::Format_RGB32);
  bool blinkOn = false;
  for (auto _ : state) {
    blinkOn = !blinkOn;
    QPainter painter(&screen);
    PaintTargetAreas(painter, rects, 4, 4, blinkOn);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BlinkRepaintFullHd);

}  // namespace
}  // namespace orvelle
