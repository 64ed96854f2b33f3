// Device-link figures:
//  1. SendAndWait round trip, as medians: through a simulated controller, and
//     in front of a bare socket echo beside the three-thread floor measured in
//     the same run with the same echo: a socket write, a reader thread that
//     polls and reads, a condition variable that wakes the waiter, the least
//     any reader-thread design costs.
//  2. 1,000 input reports per second for 10 s into a reader: none lost, CPU per
//     report of the link's reader thread and of the whole process.
//  3. An idle, connected link uses no CPU.
//  4. 100 unplug/replug cycles under 1,000 input reports per second: open
//     descriptors and threads before and after, and the time from each
//     arrival notice to the link open again.
//  5. Reader wake-ups per input report on a node that behaves as hidraw.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "bench/devlink/thread_cpu.h"
#include "devlink/device_change.h"
#include "devlink/frame.h"
#include "devlink/hid/sim_bus.h"
#include "devlink/usb_transfer.h"
#include "sim/virtual_device.h"
#include "tests/support/hidraw_like_bus.h"
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

// Echoes every datagram back on `fd` until the other end shuts down: the least
// a socket-based device can do.
std::thread EchoPeer(int fd) {
  return std::thread([fd] {
    uint8_t buf[64];
    for (;;) {
      const ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n <= 0) return;
      send(fd, buf, static_cast<size_t>(n), MSG_NOSIGNAL);
    }
  });
}

// One command collection on a socket whose peer is a bare echo: the link's
// own cost, with no simulated controller behind it.
class EchoBus final : public HidBus {
 public:
  explicit EchoBus(int fd) : fd_(fd) {}
  std::vector<HidCollection> Enumerate() override {
    return {{"echo#col01", 0x2A5C, 19, CapsState::Ok, 64, 64}};
  }
  std::unique_ptr<HidChannel> Open(const std::string&, Access) override {
    return std::make_unique<Channel>(fd_);
  }
  std::unique_ptr<DeviceWatch> WatchDevices(NoticeCallback) override { return nullptr; }
  bool Owns(const std::string&) const override { return true; }
  LockStatus TryLockController(const std::string&, std::unique_ptr<ControllerLock>& lock,
                               LockHolder&) override {
    lock = std::make_unique<ControllerLock>();
    return LockStatus::Taken;
  }

 private:
  class Channel final : public HidChannel {
   public:
    explicit Channel(int fd) : fd_(fd) {}
    ReadResult Read(std::span<uint8_t> buf, const Event& stop) override {
      pollfd fds[2] = {{fd_, POLLIN, 0}, {stop.PollFd(), POLLIN, 0}};
      if (poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN)) return {ReadStatus::Stopped, 0};
      const ssize_t n = recv(fd_, buf.data(), buf.size(), 0);
      return n > 0 ? ReadResult{ReadStatus::Data, static_cast<size_t>(n)}
                   : ReadResult{ReadStatus::Gone, 0};
    }
    bool Write(std::span<const uint8_t> report, const Event&) override {
      return send(fd_, report.data(), report.size(), MSG_NOSIGNAL) > 0;
    }
    TryResult TryWrite(std::span<const uint8_t> report) override {
      return send(fd_, report.data(), report.size(), MSG_NOSIGNAL) > 0 ? TryResult::Written
                                                                       : TryResult::Failed;
    }

   private:
    const int fd_;
  };
  const int fd_;
};

// The reports these benchmarks stream answer no request: the link is told to
// take them, as Tessaly takes its raw points.
bool EveryFrame(std::span<const uint8_t>) {
  return true;
}

void BM_SendAndWaitAgainstBareEcho(benchmark::State& state) {
  // The link through a simulated controller, the link alone in front of a
  // bare echo, the bare echo, and the floor: the echo's answer taken by a
  // reader thread that polls and reads and handed to this thread through a
  // condition variable.
  testing::TempFolder setup;
  VirtualHidDevice* self = nullptr;
  VirtualHidDevice device({3, 0x2A5C, 19, "bench", testing::ControllerLikeDescriptor(4)},
                          [&](std::span<const uint8_t> report) { self->SendInputReport(report); });
  self = &device;
  device.Plug(setup.Path() + "/controller");
  CUSBTransfer simLink(Quick(LinkProfile::Factory()), MakeSimBus(setup.Path()));
  int linkPair[2], pair[2], floorPair[2];
  for (int* p : {linkPair, pair, floorPair})
    socketpair(AF_UNIX, SOCK_SEQPACKET, 0, p);
  CUSBTransfer link(Quick(LinkProfile::Factory()), std::make_shared<EchoBus>(linkPair[0]));
  if (!simLink.Open() || !link.Open()) {
    state.SkipWithError("link did not open");
    return;
  }
  std::thread linkEcho = EchoPeer(linkPair[1]);
  std::thread echo = EchoPeer(pair[1]);
  std::thread floorEcho = EchoPeer(floorPair[1]);
  std::mutex floorMutex;
  std::condition_variable floorWoken;
  uint64_t floorAnswers = 0;
  std::thread floorReader([&, fd = floorPair[0]] {
    uint8_t buf[64];
    for (;;) {
      pollfd p{fd, POLLIN, 0};
      poll(&p, 1, -1);
      if (recv(fd, buf, sizeof buf, 0) <= 0) return;
      std::lock_guard lock(floorMutex);
      ++floorAnswers;
      floorWoken.notify_one();
    }
  });
  FrameBuffer request;
  BuildFrame(request, kCommandReportId, 0xF2, {1});
  const std::span<const uint8_t> frame(request.data(), kCommandFrameLength);
  std::vector<double> simUs, linkUs, echoUs, floorUs;
  int64_t failures = 0;
  auto micros = [](Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
  };
  for (auto _ : state) {
    const auto t0 = Clock::now();
    if (!simLink.SendAndWait(kCommandChannel, frame)) ++failures;
    const auto t1 = Clock::now();
    if (!link.SendAndWait(kCommandChannel, frame)) ++failures;
    const auto t2 = Clock::now();
    uint8_t back[64];
    send(pair[0], frame.data(), frame.size(), MSG_NOSIGNAL);
    recv(pair[0], back, sizeof back, 0);
    const auto t3 = Clock::now();
    {
      std::unique_lock lock(floorMutex);
      const uint64_t before = floorAnswers;
      send(floorPair[0], frame.data(), frame.size(), MSG_NOSIGNAL);
      floorWoken.wait(lock, [&] { return floorAnswers != before; });
    }
    const auto t4 = Clock::now();
    simUs.push_back(micros(t1 - t0));
    linkUs.push_back(micros(t2 - t1));
    echoUs.push_back(micros(t3 - t2));
    floorUs.push_back(micros(t4 - t3));
  }
  link.StopThreads();
  for (int fd : {linkPair[0], pair[0], floorPair[0], floorPair[1]})
    shutdown(fd, SHUT_RDWR);
  for (std::thread* t : {&linkEcho, &echo, &floorEcho, &floorReader})
    t->join();
  for (int* p : {linkPair, pair, floorPair}) {
    close(p[0]);
    close(p[1]);
  }
  auto median = [](std::vector<double>& v) {
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
  };
  const double floorMedian = median(floorUs);
  state.counters["sim_link_us_median"] = median(simUs);
  state.counters["link_us_median"] = median(linkUs);
  state.counters["echo_us_median"] = median(echoUs);
  state.counters["floor_us_median"] = floorMedian;
  state.counters["link_per_floor"] = state.counters["link_us_median"] / floorMedian;
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
  link.TakeUnasked(EveryFrame);
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

// One exchange group's lock taken and let go on a simulated controller (a
// lock file's open, flock and close), which every page's read, Apply and
// orvellectl command pays once: compare with a round trip above.
void BM_ExchangeGroupLock(benchmark::State& state) {
  testing::TempFolder setup;
  VirtualHidDevice device({3, 0x2A5C, 19, "bench", testing::ControllerLikeDescriptor(8)}, nullptr);
  device.Plug(setup.Path() + "/controller");
  CUSBTransfer link(Quick(LinkProfile::Console()), MakeSimBus(setup.Path()));
  if (!link.Open()) {
    state.SkipWithError("link did not open");
    return;
  }
  for (auto _ : state) {
    ExchangeGroup group = link.BeginGroup();
    if (!group) state.SkipWithError("the lock was not taken");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExchangeGroupLock)->Unit(benchmark::kMicrosecond);

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

size_t EntriesIn(const char* folder) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder))
    ++n;
  return n;
}

void BM_UnplugReplugUnderInputStream(benchmark::State& state) {
  constexpr int kCycles = 100;
  testing::TempFolder setup;
  const std::string socket = setup.Path() + "/controller";
  VirtualHidDevice device({3, 0x2A5C, 19, "bench", testing::ControllerLikeDescriptor(4)}, nullptr);
  device.Plug(socket);
  CountingSink sink;
  CUSBTransfer link(Quick(LinkProfile::Calibration()), MakeSimBus(setup.Path()));
  link.SetOwner(&sink);
  link.TakeUnasked(EveryFrame);
  // Notices are applied on this thread, as a window applies them on its own.
  std::mutex mutex;
  std::condition_variable noticed;
  std::deque<std::pair<DeviceNotice, Clock::time_point>> notices;
  auto watch = link.WatchDevices([&](const DeviceNotice& n) {
    std::lock_guard lock(mutex);
    notices.emplace_back(n, Clock::now());
    noticed.notify_all();
  });
  link.Open();
  std::atomic<bool> streaming{true};
  std::thread stream([&] {
    FrameBuffer raw;
    BuildFrame(raw, kCalibrationReportId, 0x08, {7, 0x00, 0x08, 0x00, 0x08});
    const auto start = Clock::now();
    for (int64_t i = 0; streaming.load(); ++i) {
      std::this_thread::sleep_until(start + std::chrono::microseconds(1000 * i));
      if (device.IsPlugged()) device.SendInputReport({raw.data(), kCalibrationFrameLength});
    }
  });
  // Waits for a notice of `kind` and applies every notice up to it.
  auto apply = [&](DeviceNotice::Kind kind, std::vector<double>* reopenMs) {
    for (;;) {
      std::unique_lock lock(mutex);
      if (!noticed.wait_for(lock, 5s, [&] { return !notices.empty(); })) return false;
      const auto [notice, at] = notices.front();
      notices.pop_front();
      lock.unlock();
      const auto action = OnDeviceChange(link, notice, {[&] { link.Open(); }, {}});
      if (reopenMs && action != DeviceChangeAction::None) {
        reopenMs->push_back(std::chrono::duration<double, std::milli>(Clock::now() - at).count());
      }
      if (notice.kind == kind && action != DeviceChangeAction::None) return true;
    }
  };
  std::this_thread::sleep_for(100ms);
  const size_t fdsBefore = EntriesIn("/proc/self/fd");
  const size_t threadsBefore = EntriesIn("/proc/self/task");
  std::vector<double> reopenMs;
  int cycles = 0;
  for (auto _ : state) {
    for (int i = 0; i < kCycles; ++i) {
      device.Unplug();
      if (!apply(DeviceNotice::Kind::Removal, nullptr)) break;
      device.Plug(socket);
      if (!apply(DeviceNotice::Kind::Arrival, &reopenMs)) break;
      if (link.IsConnected()) ++cycles;
    }
  }
  // Late notices of the last arrival find the link connected.
  std::this_thread::sleep_for(200ms);
  {
    std::lock_guard lock(mutex);
    notices.clear();
  }
  const size_t fdsAfter = EntriesIn("/proc/self/fd");
  const size_t threadsAfter = EntriesIn("/proc/self/task");
  streaming.store(false);
  stream.join();
  std::sort(reopenMs.begin(), reopenMs.end());
  state.counters["cycles_reopened"] = cycles;
  state.counters["fds_before"] = static_cast<double>(fdsBefore);
  state.counters["fds_after"] = static_cast<double>(fdsAfter);
  state.counters["threads_before"] = static_cast<double>(threadsBefore);
  state.counters["threads_after"] = static_cast<double>(threadsAfter);
  state.counters["reopen_ms_median"] = reopenMs.empty() ? -1 : reopenMs[reopenMs.size() / 2];
  state.counters["reopen_ms_max"] = reopenMs.empty() ? -1 : reopenMs.back();
  state.counters["reports_received"] = static_cast<double>(sink.count.load());
}
BENCHMARK(BM_UnplugReplugUnderInputStream)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Reports of the three collections Tessaly reads, 1,000 per second for 2 s,
// on a node that hands every report to each of its read opens as hidraw
// does: reader wake-ups per report (one read open serves the whole node).
void BM_HidrawNodeWakeUpsPerReport(benchmark::State& state) {
  constexpr int kReports = 2000;
  auto bus = std::make_shared<testing::HidrawLikeBus>();
  CountingSink sink;
  CUSBTransfer link(Quick(LinkProfile::Calibration()), bus);
  link.SetOwner(&sink);
  link.TakeUnasked(EveryFrame);
  if (!link.Open()) {
    state.SkipWithError("link did not open");
    return;
  }
  FrameBuffer raw;
  BuildFrame(raw, kCalibrationReportId, 0x08, {7, 0x00, 0x08, 0x00, 0x08});
  const testing::HidrawLikeBus::Report answer(raw.begin(), raw.begin() + kCalibrationFrameLength);
  for (auto _ : state) {
    const auto cpuBefore = bench::ThreadCpuByName();
    const auto start = Clock::now();
    for (int i = 0; i < kReports; ++i) {
      std::this_thread::sleep_until(start + std::chrono::microseconds(1000LL * i));
      const size_t collection = static_cast<size_t>(2 * (i % 3));  // 0, 2, 4
      bus->PushInput(collection, collection == kCalibrationChannel
                                     ? answer
                                     : testing::HidrawLikeBus::Report(8, 0));
    }
    std::this_thread::sleep_for(200ms);
    const auto cpuAfter = bench::ThreadCpuByName();
    const double readersNs =
        static_cast<double>(bench::CpuOfThreadsStartingWith(cpuAfter, "orv-read") -
                            bench::CpuOfThreadsStartingWith(cpuBefore, "orv-read"));
    state.counters["wakeups_per_report"] = static_cast<double>(bus->ReadWakeUps()) / kReports;
    state.counters["answers_handled"] = static_cast<double>(sink.count.load());
    state.counters["readers_cpu_us_per_report"] = readersNs / 1000.0 / kReports;
  }
}
BENCHMARK(BM_HidrawNodeWakeUpsPerReport)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace orvelle

BENCHMARK_MAIN();
