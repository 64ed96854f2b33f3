// The calibration dialog receiving 1,000 raw reports per second from the
// simulated controller for 10 s while its timer blinks the targets: CPU of
// the window thread and of the link's threads, as a share of one core, and
// frames the window thread did not keep up with.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <QEventLoop>
#include <QTimer>
#include <filesystem>

#include "bench/devlink/thread_cpu.h"
#include "calibration/calibration_dlg.h"
#include "devlink/hid/sim_bus.h"
#include "devlink/usb_transfer.h"
#include "platform/file_registry.h"
#include "platform/os_version.h"
#include "shell/language_library.h"
#include "shell/recording_message_boxes.h"
#include "sim/simulated_controller.h"

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
    CCalibrationDlg dialog(environment);
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
    dialog.OnCancel();
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
