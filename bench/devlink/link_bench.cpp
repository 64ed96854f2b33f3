// Device-link figures:
//  1. SendAndWait round trip through the simulator socket, against a bare
//     socket write-and-read echo measured in the same run (ratio).
//  2. 1,000 input reports per second for 10 s into a reader: none lost, CPU per
//     report of the link's reader thread and of the whole process.
//  3. An idle, connected link uses no CPU.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>

#include "bench/devlink/thread_cpu.h"
#include "devlink/frame.h"
#include "devlink/hid/sim_bus.h"
#include "devlink/hid/virtual_device.h"
#include "devlink/usb_transfer.h"
#include "tests/support/fake_bus.h"
#include "tests/support/temp_folder.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double ProcessCpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

LinkProfile Quick(LinkProfile p) {
  p.startPause = 0ms;
  p.answerTimeout = 5s;
  return p;
}

class CountingSink : public AnswerSink {
 public:
  void OnAnswer(std::span<const uint8_t>) override { count.fetch_add(1); }
  std::atomic<uint64_t> count{0};
};

void BM_SendAndWaitAgainstBareEcho(benchmark::State& state) {
  testing::TempFolder setup;
  VirtualHidDevice* self = nullptr;
  VirtualHidDevice device({3, 0x2A5C, 19, "bench", testing::ControllerLikeDescriptor(4)},
                          [&](std::span<const uint8_t> report) { self->SendInputReport(report); });
  self = &device;
  device.Plug(setup.Path() + "/controller");
  CUSBTransfer link(Quick(LinkProfile::Factory()), MakeSimBus(setup.Path()));
  if (!link.Open()) {
    state.SkipWithError("link did not open");
    return;
  }
  // The baseline: the same 64-byte report written to a socket and echoed back
  // by another thread, the least any socket-based device could cost.
  int pair[2];
  socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair);
  std::thread echo([fd = pair[1]] {
    uint8_t buf[64];
    for (;;) {
      const ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n <= 0) return;
      send(fd, buf, static_cast<size_t>(n), MSG_NOSIGNAL);
    }
  });
  FrameBuffer request;
  BuildFrame(request, kCommandReportId, 0xF2, {1});
  Clock::duration linkTime{}, echoTime{};
  int64_t failures = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    if (!link.SendAndWait(kCommandChannel, request)) ++failures;
    auto t1 = Clock::now();
    uint8_t back[64];
    send(pair[0], request.data(), request.size(), MSG_NOSIGNAL);
    recv(pair[0], back, sizeof back, 0);
    auto t2 = Clock::now();
    linkTime += t1 - t0;
    echoTime += t2 - t1;
  }
  shutdown(pair[0], SHUT_RDWR);
  echo.join();
  close(pair[0]);
  close(pair[1]);
  const double n = static_cast<double>(state.iterations());
  const double linkUs = std::chrono::duration<double, std::micro>(linkTime).count() / n;
  const double echoUs = std::chrono::duration<double, std::micro>(echoTime).count() / n;
  state.counters["link_us"] = linkUs;
  state.counters["echo_us"] = echoUs;
  state.counters["ratio"] = linkUs / echoUs;
  state.counters["failures"] = static_cast<double>(failures);
}
BENCHMARK(BM_SendAndWaitAgainstBareEcho)->Iterations(20000)->Unit(benchmark::kMicrosecond);

void BM_InputStream1000PerSecond(benchmark::State& state) {
  const int seconds = static_cast<int>(state.range(0));
  testing::TempFolder setup;
  VirtualHidDevice device({3, 0x2A5C, 19, "bench", testing::ControllerLikeDescriptor(4)}, nullptr);
  device.Plug(setup.Path() + "/controller");
  CountingSink sink;
  CUSBTransfer link(Quick(LinkProfile::Calibration()), MakeSimBus(setup.Path()));
  link.SetOwner(&sink);
  link.Open();
  FrameBuffer raw;
  BuildFrame(raw, kCalibrationReportId, 0x08, {7, 0x00, 0x08, 0x00, 0x08});
  const std::span<const uint8_t> report(raw.data(), kCalibrationFrameLength);
  const int total = 1000 * seconds;
  for (auto _ : state) {
    const auto cpuBefore = bench::ThreadCpuByName();
    const double processBefore = ProcessCpuSeconds();
    const auto start = Clock::now();
    for (int i = 0; i < total; ++i) {
      std::this_thread::sleep_until(start + std::chrono::microseconds(1000LL * i));
      device.SendInputReport(report);
    }
    const auto deadline = Clock::now() + 2s;
    while (sink.count.load() < static_cast<uint64_t>(total) && Clock::now() < deadline) {
      std::this_thread::sleep_for(1ms);
    }
    const auto cpuAfter = bench::ThreadCpuByName();
    const double readerNs =
        static_cast<double>(bench::CpuOfThreadsStartingWith(cpuAfter, "orv-read-4") -
                            bench::CpuOfThreadsStartingWith(cpuBefore, "orv-read-4"));
    state.counters["received"] = static_cast<double>(sink.count.load());
    state.counters["lost"] = static_cast<double>(total) - static_cast<double>(sink.count.load());
    state.counters["reader_cpu_us_per_report"] = readerNs / 1000.0 / total;
    state.counters["process_cpu_us_per_report"] =
        (ProcessCpuSeconds() - processBefore) * 1e6 / total;
  }
}
BENCHMARK(BM_InputStream1000PerSecond)
    ->Arg(10)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

void BM_IdleConnectedLink(benchmark::State& state) {
  testing::TempFolder setup;
  VirtualHidDevice device({3, 0x2A5C, 19, "bench", testing::ControllerLikeDescriptor(8)}, nullptr);
  device.Plug(setup.Path() + "/controller");
  CUSBTransfer link(Quick(LinkProfile::Console()), MakeSimBus(setup.Path()));
  link.Open();
  auto watch = link.WatchDevices([](const DeviceNotice&) {});
  for (auto _ : state) {
    const double before = ProcessCpuSeconds();
    std::this_thread::sleep_for(5s);
    state.counters["cpu_ms_in_5s"] = (ProcessCpuSeconds() - before) * 1e3;
  }
}
BENCHMARK(BM_IdleConnectedLink)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace orvelle

BENCHMARK_MAIN();
