// `orvellectl info` as an installer's script meets it: from process start to
// its exit with the six answers printed, against orvelle-sim. Twenty runs, one
// process each; the median is the figure. The target: the pauses the pages
// take after the six reads (6 x 20 ms) plus at most 50 ms.
#include <benchmark/benchmark.h>

#include <chrono>

#include "tests/support/e2e/child_process.h"
#include "tests/support/temp_folder.h"

namespace orvelle::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

void BM_CtlInfo(benchmark::State& state) {
  testing::TempFolder folder;
  const std::vector<std::string> env =
      EnvironmentWith({"ORVELLE_SIM_DIR=" + folder.File("sim"),
                       "ORVELLE_SYSFS_ROOT=" + folder.Path(), "ORVELLE_DEV_ROOT=" + folder.Path()});
  ChildProcess sim;
  if (!sim.Start({ORVELLE_SIM_COMMAND, "--dir", folder.File("sim")}, env, folder.File("sim.log")) ||
      !WaitUntil(
          [&] { return ReadFile(folder.File("sim.log")).find("plugged in") != std::string::npos; },
          10s)) {
    state.SkipWithError("the simulator did not start");
    return;
  }
  for (auto _ : state) {
    const auto start = Clock::now();
    ChildProcess ctl;
    const bool ok = ctl.Start({ORVELLE_CTL_COMMAND, "info"}, env, folder.File("ctl.log")) &&
                    ctl.WaitExit(10s) == 0;
    const std::chrono::duration<double> took = Clock::now() - start;
    if (!ok) {
      state.SkipWithError("orvellectl info failed");
      break;
    }
    state.SetIterationTime(took.count());
  }
}
BENCHMARK(BM_CtlInfo)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(20)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvelle::e2e

BENCHMARK_MAIN();
