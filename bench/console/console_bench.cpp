// OrvelleConsole's start-up as a user meets it: from process start to the
// main window mapped. The window is shown only after the information page has
// asked its six questions, so mapped means filled. The link's three 300 ms
// start pauses and the page's six 20 ms pauses (1,020 ms) are mandated; the
// "own" counter is the rest. Beside it, in turn with it, its floor: a bare Qt
// Widgets program that loads the same templates and shows its window (goal:
// the console's own start-up at most 1.5 times its floor). Also the resident
// memory of the first one started and its processor time of ten idle seconds
// while connected.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "bench/beside_floor.h"
#include "tests/support/e2e/desktop.h"

namespace orvelle::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr double kMandatedPausesMs = 3 * 300 + 6 * 20;
constexpr double kGoalTimesFloor = 1.5;

// The console of this build, or another one's (ORVELLE_BENCH_CONSOLE), such
// as the optimised programs of the package build.
std::string ConsoleCommand() {
  const char* other = std::getenv("ORVELLE_BENCH_CONSOLE");
  return other && *other ? other : ORVELLE_CONSOLE_COMMAND;
}

long ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// User plus system time of the process, in seconds.
double CpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) {
      stime = std::stol(field);
      break;
    }
  }
  return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

struct Desk {
  TempFolder folder;
  VirtualDisplay display;
  Desktop desktop{display};
  ChildProcess sim;
  bool ok = false;

  Desk() {
    ok = display.Start(folder.File("x")) &&
         sim.Start({ORVELLE_SIM_COMMAND, "--dir", folder.File("sim")}, Env(),
                   folder.File("sim.log"));
    ok =
        ok && WaitUntil(
                  [&] {
                    return ReadFile(folder.File("sim.log")).find("plugged in") != std::string::npos;
                  },
                  10s);
  }
  std::vector<std::string> Env() const {
    return desktop.Env({"ORVELLE_SIM_DIR=" + folder.File("sim"), "ORVELLE_MESSAGE_BOXES=log",
                        "ORVELLE_CONFIG_DIR=" + folder.File("config"),
                        "XDG_CONFIG_HOME=" + folder.File("xdg")});
  }
};

// Milliseconds from the program's start to its window `title` mapped, asked
// as often as xdotool can answer (a few milliseconds), not every 50 ms; -1
// when it did not show.
double MsToWindow(const Desk& desk, ChildProcess& program, const std::vector<std::string>& argv,
                  const std::string& title, const std::string& log) {
  const auto start = Clock::now();
  program.Start(argv, desk.Env(), desk.folder.File(log));
  bool shown = false;
  while (!(shown = !desk.desktop.Window(title).empty()) && Clock::now() - start < 20s) {
  }
  return shown ? std::chrono::duration<double, std::milli>(Clock::now() - start).count() : -1;
}

double Median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

// Start-ups of the floor and the console in turn, their medians compared;
// the memory and the idle time of the first console.
void BM_ConsoleStartup(benchmark::State& state) {
  Desk desk;
  if (!desk.ok) {
    state.SkipWithError("no X server or simulator");
    return;
  }
  std::vector<double> consoleMs, floorMs;
  double rssMiB = 0, idleCpu = 0;
  for (auto _ : state) {
    ChildProcess floor;
    floorMs.push_back(
        MsToWindow(desk, floor, {ORVELLE_FLOOR_COMMAND, ORVELLE_FLOOR_PACK}, "Floor", "floor.log"));
    floor.Stop();
    ChildProcess console;
    consoleMs.push_back(
        MsToWindow(desk, console, {ConsoleCommand(), "0"}, "OrvelleConsole", "console.log"));
    if (consoleMs.back() < 0 || floorMs.back() < 0) {
      state.SkipWithError(consoleMs.back() < 0 ? "the console's window did not show"
                                               : "the floor's window did not show");
      return;
    }
    state.SetIterationTime(consoleMs.back() / 1000);
    if (consoleMs.size() > 1) continue;
    std::this_thread::sleep_for(500ms);
    rssMiB = ResidentKiB(console.Pid()) / 1024.0;
    const double before = CpuSeconds(console.Pid());
    std::this_thread::sleep_for(10s);
    idleCpu = CpuSeconds(console.Pid()) - before;
  }
  const double ownMs = Median(consoleMs) - kMandatedPausesMs;
  const double floorMedianMs = Median(floorMs);
  state.counters["own_ms"] = ownMs;
  state.counters["floor_ms"] = floorMedianMs;
  state.counters["own_times_floor"] = ownMs / floorMedianMs;
  state.counters["rss_MiB"] = rssMiB;
  state.counters["idle_cpu_s"] = idleCpu;
  bench::PrintBesideFloor("the console's own start-up, median of 7", ownMs, floorMedianMs, "ms",
                          kGoalTimesFloor);
}
BENCHMARK(BM_ConsoleStartup)->Iterations(7)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvelle::e2e

BENCHMARK_MAIN();
