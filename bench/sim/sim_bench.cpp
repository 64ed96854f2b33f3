// The simulated controller's costs: one request through the model, and touch
// streams over the real transport into a calibration program's link, with
// the process CPU they take and how many reports the reader received.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <filesystem>

#include "devlink/hid/default_bus.h"
#include "devlink/protocol.h"
#include "devlink/usb_transfer.h"
#include "sim/simulated_controller.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::vector<uint8_t> Frame(uint8_t reportId, uint8_t code, std::initializer_list<uint8_t> payload) {
  FrameBuffer f;
  BuildFrame(f, reportId, code, payload);
  return {f.begin(), f.begin() + (reportId == kCalibrationReportId ? 48 : 64)};
}

void BM_ModelReadRequest(benchmark::State& state) {
  ControllerModel model;
  const auto request = Frame(kCommandReportId, GET_INFO_F5, {1});
  for (auto _ : state)
    benchmark::DoNotOptimize(model.Handle(request));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ModelReadRequest);

void BM_ModelWriteRequest(benchmark::State& state) {
  ControllerModel model;
  const auto request = Frame(kCommandReportId, CFG_21, {2, 1, 0, 60, 0x03, 0xE8});
  for (auto _ : state)
    benchmark::DoNotOptimize(model.Handle(request));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ModelWriteRequest);

class CountingSink : public AnswerSink {
 public:
  void OnAnswer(std::span<const uint8_t> frame) override {
    if (frame.size() > 1 && frame[1] == CAL_RAW_POINT) received.fetch_add(1);
  }
  std::atomic<uint64_t> received{0};
};

// A controller in calibration and a calibration program's link reading it.
struct StreamSetup {
  StreamSetup() {
    folder =
        std::filesystem::temp_directory_path() / ("orvelle-sim-bench-" + std::to_string(getpid()));
    SimControllerOptions options;
    options.socketPath = DefaultSocketPath(folder.string(), 0x2A5C, 19);
    sim = std::make_unique<SimulatedController>(options);
    std::string error;
    ok = sim->Start(error);
    LinkProfile profile = LinkProfile::Calibration();
    profile.startPause = 0ms;
    profile.answerTimeout = 5s;
    DefaultBusOptions bus;
    bus.simDir = folder.string();
    bus.withHidraw = false;
    link = std::make_unique<CUSBTransfer>(profile, MakeDefaultBus(bus));
    link->SetOwner(&sink);
    link->TakeUnasked([](std::span<const uint8_t> frame) { return frame[1] == CAL_RAW_POINT; });
    ok = ok && link->Open() &&
         link->SendAndWait(kCalibrationChannel, Frame(kCalibrationReportId, CAL_BEGIN, {}));
  }
  ~StreamSetup() {
    link.reset();
    sim.reset();
    std::filesystem::remove_all(folder);
  }
  std::filesystem::path folder;
  CountingSink sink;
  std::unique_ptr<SimulatedController> sim;
  std::unique_ptr<CUSBTransfer> link;
  bool ok = false;
};

// Arg: reports per second (0: as fast as the controller's worker can make
// them). Each iteration streams 1,000 touching reports and a lift.
void BM_TouchStream(benchmark::State& state) {
  StreamSetup setup;
  if (!setup.ok) {
    state.SkipWithError("the simulated controller could not be set up");
    return;
  }
  constexpr int kReports = 1000;
  uint64_t sent = 0;
  const double cpuBefore = ProcessCpuSeconds();
  const auto wallBefore = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const uint64_t target = setup.sink.received.load() + kReports + 1;
    setup.sim->Touch(TouchStream{{1500, 2500}, kReports, static_cast<double>(state.range(0)), 3});
    setup.sim->WaitTouchesDone(60s);
    sent += kReports + 1;
    const auto limit = std::chrono::steady_clock::now() + 2s;
    while (setup.sink.received.load() < target && std::chrono::steady_clock::now() < limit) {
      std::this_thread::sleep_for(100us);
    }
  }
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
  const double cpu = ProcessCpuSeconds() - cpuBefore;
  const auto received = static_cast<double>(setup.sink.received.load());
  state.counters["received_per_s"] = received / wall;
  state.counters["lost"] = static_cast<double>(sent) - received;
  state.counters["cpu_percent"] = 100.0 * cpu / wall;
  state.counters["cpu_us_per_report"] = 1e6 * cpu / received;
}
BENCHMARK(BM_TouchStream)
    ->Arg(1000)
    ->Arg(0)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvelle

BENCHMARK_MAIN();
