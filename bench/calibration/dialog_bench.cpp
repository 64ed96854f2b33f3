// The calibration dialog receiving 1,000 raw reports per second from the
// simulated controller for 10 s while its timer blinks the targets: CPU of
// the window thread and of the link's threads, as a share of one core, and
// frames the window thread did not keep up with. Beside it, in the same run,
// its floor: a bare window of the same size that blinks the same targets at
// the same rate, and a bare reader that reads the same 1,000 reports a second
// and discards them (goal: Tessaly at most 1.3 times its floor).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <QEventLoop>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <thread>

#include "bench/beside_floor.h"
#include "bench/devlink/thread_cpu.h"
#include "calibration/calibration_dlg.h"
#include "calibration/target_painter.h"
#include "devlink/hid/sim_bus.h"
#include "devlink/protocol.h"
#include "devlink/usb_transfer.h"
#include "platform/file_registry.h"
#include "platform/os_version.h"
#include "shell/language_library.h"
#include "shell/recording_message_boxes.h"
#include "sim/simulated_controller.h"
#include "tests/support/frames.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;

uint64_t ThisThreadCpuNs() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ULL + static_cast<uint64_t>(ts.tv_nsec);
}

void RunEvents(std::chrono::milliseconds duration) {
  QEventLoop loop;
  QTimer::singleShot(duration, &loop, &QEventLoop::quit);
  loop.exec();
}

constexpr double kGoalTimesFloor = 1.3;

// The floor's window: the dialog's target areas, blinked by a timer of the
// dialog's period and painted as the dialog paints them.
class BlinkingTargets final : public QWidget {
 public:
  BlinkingTargets(QRect screen, const std::array<QRect, kTargetSlots>& areas, int calMode,
                  int targetIndex)
      : areas_(areas), calMode_(calMode), targetIndex_(targetIndex) {
    setGeometry(screen);
    timer_.setInterval(CCalibrationDlg::kTimerPeriodMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
      blinkOn_ = !blinkOn_;
      for (const QRect& r : areas_)
        update(r);
    });
    timer_.start();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    PaintTargetAreas(painter, areas_, calMode_, targetIndex_, blinkOn_);
  }

 private:
  const std::array<QRect, kTargetSlots> areas_;
  const int calMode_, targetIndex_;
  bool blinkOn_ = false;
  QTimer timer_;
};

// The floor's reader: one open of the collection the dialog reads, read by a
// thread that discards every report.
class BareReader {
 public:
  BareReader(HidBus& bus, const std::string& path) : channel_(bus.Open(path, Access::Read)) {
    if (channel_) thread_ = std::thread([this] { Read(); });
  }
  ~BareReader() {
    stop_.Set();
    if (thread_.joinable()) thread_.join();
  }
  bool Reading() const { return thread_.joinable(); }
  uint64_t Reports() const { return reports_.load(); }

 private:
  void Read() {
    pthread_setname_np(pthread_self(), "bare-read");
    std::array<uint8_t, 64> report{};
    while (channel_->Read(report, stop_).status == ReadStatus::Data)
      reports_.fetch_add(1);
  }
  std::unique_ptr<HidChannel> channel_;
  Event stop_;
  std::atomic<uint64_t> reports_{0};
  std::thread thread_;
};

std::string TempDir(const char* what) {
  std::string pattern = std::string("/tmp/orvelle-bench-") + what + "-XXXXXX";
  return mkdtemp(pattern.data());
}

void BM_DialogAt1000ReportsPerSecond(benchmark::State& state) {
  const int seconds = static_cast<int>(state.range(0));
  const std::string simDir = TempDir("sim");
  const std::string configDir = TempDir("config");
  LanguageLibrary library;
  if (!library.Load(QStringLiteral("TessalyEnglish"), {QStringLiteral(TESSALY_PACK_DIR)})) {
    state.SkipWithError("no Tessaly test pack");
    return;
  }
  SetCurrentLanguageLibrary(&library);
  RecordingMessageBoxes boxes;
  FileRegistry registry(configDir);
  const FixedOsVersion os({kVerPlatformOther, 0, 0});

  SimControllerOptions options;
  options.socketPath = DefaultSocketPath(simDir, options.vendorId, options.productId);
  SimulatedController sim(options);
  std::string error;
  if (!sim.Start(error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  CalibrationEnvironment environment;
  environment.bus = MakeSimBus(simDir);
  environment.profile.startPause = 0ms;
  environment.registry = &registry;
  environment.osVersion = &os;
  environment.displayOrientation = 0;
  environment.screen = QRect(0, 0, 1920, 1080);
  environment.desktopDoubleClick = DesktopDoubleClick{4, 500};

  for (auto _ : state) {
    auto owned = std::make_unique<CCalibrationDlg>(environment);
    CCalibrationDlg& dialog = *owned;
    if (!dialog.OnInitDialog()) {
      state.SkipWithError("the dialog did not start");
      break;
    }
    dialog.show();
    RunEvents(300ms);
    // A jittery finger on the centre: one point, then every later series is
    // refused as too near it, so the capture never rests.
    sim.Touch(TouchStream{RawPoint{2048, 2048}, 1000 * seconds + 500, 1000, 3});
    RunEvents(200ms);

    const auto linkBefore = bench::ThreadCpuByName();
    const uint64_t windowBefore = ThisThreadCpuNs();
    const uint64_t droppedBefore = dialog.link().DroppedFrames();
    RunEvents(std::chrono::seconds(seconds));
    const uint64_t windowNs = ThisThreadCpuNs() - windowBefore;
    const auto linkAfter = bench::ThreadCpuByName();
    // The link's reader and write-drain threads; the simulator's are not the program's.
    uint64_t linkNs = 0;
    for (const char* prefix : {"orv-read", "orv-drain"}) {
      linkNs += bench::CpuOfThreadsStartingWith(linkAfter, prefix) -
                bench::CpuOfThreadsStartingWith(linkBefore, prefix);
    }

    const double wallNs = seconds * 1e9;
    state.counters["window_core_pct"] = 100.0 * static_cast<double>(windowNs) / wallNs;
    state.counters["link_core_pct"] = 100.0 * static_cast<double>(linkNs) / wallNs;
    state.counters["total_core_pct"] = 100.0 * static_cast<double>(windowNs + linkNs) / wallNs;
    state.counters["dropped_frames"] =
        static_cast<double>(dialog.link().DroppedFrames() - droppedBefore);
    state.counters["blink_ticks"] = dialog.run().tickCount();
    sim.StopTouches();
    const std::string path = dialog.link().DevicePath(kCalibrationChannel);
    const QRect screen = dialog.geometry();
    const auto areas = dialog.targetRects();
    const int calMode = dialog.run().calMode(), targetIndex = dialog.run().targetIndex();
    dialog.OnCancel();
    owned.reset();

    // The floor, on the same reports: the controller is told to calibrate,
    // as the dialog told it, so that the touches come as raw points.
    auto writer = environment.bus->Open(path, Access::Write);
    Event never;
    if (!writer || !writer->Write(testing::Request(kCalibrationReportId, CAL_BEGIN, {}), never)) {
      state.SkipWithError("the floor could not begin a calibration");
      break;
    }
    BlinkingTargets window(screen, areas, calMode, targetIndex);
    window.show();
    BareReader reader(*environment.bus, path);
    RunEvents(300ms);
    sim.Touch(TouchStream{RawPoint{2048, 2048}, 1000 * seconds + 500, 1000, 3});
    RunEvents(200ms);
    const auto readerBefore = bench::ThreadCpuByName();
    const uint64_t floorWindowBefore = ThisThreadCpuNs();
    const uint64_t reportsBefore = reader.Reports();
    RunEvents(std::chrono::seconds(seconds));
    const uint64_t floorWindowNs = ThisThreadCpuNs() - floorWindowBefore;
    const uint64_t readerNs =
        bench::CpuOfThreadsStartingWith(bench::ThreadCpuByName(), "bare-read") -
        bench::CpuOfThreadsStartingWith(readerBefore, "bare-read");
    sim.StopTouches();
    const double floorPct = 100.0 * static_cast<double>(floorWindowNs + readerNs) / wallNs;
    state.counters["floor_core_pct"] = floorPct;
    state.counters["floor_reports"] = static_cast<double>(reader.Reports() - reportsBefore);
    state.counters["times_floor"] = state.counters["total_core_pct"] / floorPct;
    bench::PrintBesideFloor("Tessaly at 1,000 reports/s, share of a core",
                            state.counters["total_core_pct"], floorPct, "%", kGoalTimesFloor);
  }
  SetCurrentLanguageLibrary(nullptr);
  std::filesystem::remove_all(simDir);
  std::filesystem::remove_all(configDir);
}
BENCHMARK(BM_DialogAt1000ReportsPerSecond)
    ->Arg(10)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
}  // namespace orvelle
