// The orvellectl executable against a simulated controller.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "devlink/protocol.h"
#include "sim/simulated_controller.h"
#include "tests/support/e2e/child_process.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;
using e2e::ChildProcess;

// In order: the process finds the simulated controller, waits while another process holds it
// and names that one, a FIFO does not block it, output that cannot be written is an error, and
// stop signals during an exchange end it with 128 + the signal and leave no saved or exported
// file behind. What each command does is ctl_test's.
TEST(CtlTranscript, CommandsFifosAndStopSignalsAgainstASimulatedController) {
  testing::TempFolder folder, files;
  SimulatedController sim({.socketPath = folder.File("a")});
  std::string error;
  ASSERT_TRUE(sim.Start(error)) << error;
  // No real controller may take part: the hidraw roots are empty folders.
  const std::vector<std::string> env = e2e::EnvironmentWith({"ORVELLE_SIM_DIR=" + folder.Path(),
                                                             "ORVELLE_SYSFS_ROOT=" + files.Path(),
                                                             "ORVELLE_DEV_ROOT=" + files.Path()});
  const std::string fifo = files.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::vector<std::string> args;
    int status;
    std::string output;    // a part of standard output and error
    int signal = 0;        // sent once the controller got a silenced request
    std::string redirect;  // of standard output by the shell, when not to the file
    bool held = false;     // this process holds the controller meanwhile
  } steps[] = {
      {{"list"}, 0, "2a5c:0013  simulated touch controller  6 collections"},
      {{"info"},
       6,
       "in use by component_ctl (process " + std::to_string(getpid()) + ")",
       0,
       "",
       true},
      {{"config", "load", fifo}, 2, "not a regular file"},
      {{"config", "show"},
       5,
       "orvellectl: write error: No space left on device\n",
       0,
       ">/dev/full"},
      {{"info"}, 5, "orvellectl: write error: Bad file descriptor\n", 0, ">&-"},
      {{"config", "save", files.File("saved.json")}, 130, "", SIGINT},
      {{"calibration", "export", files.File("saved.cal")}, 143, "", SIGTERM},
  };
  int n = 0;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.args.back());
    if (step.signal != 0) {
      sim.SetFault({kCommandReportId, CFG_14}, {FaultKind::Silent});
      sim.SetFault({kCalibrationReportId, CAL_READ_DATA}, {FaultKind::Silent});
    }
    std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" " + step.redirect,
                                     ORVELLE_CTL_COMMAND};
    argv.insert(argv.end(), step.args.begin(), step.args.end());
    const std::string output = folder.File("ctl" + std::to_string(n++) + ".log");
    const uint64_t before = sim.Events().LastSeq();
    CUSBTransfer holder(testing::Quick(LinkProfile::Console()), testing::SimOnlyBus(folder.Path()));
    ExchangeGroup held;
    if (step.held) {
      ASSERT_TRUE(holder.Open());
      held = holder.BeginGroup();
    }
    ChildProcess ctl;
    ASSERT_TRUE(ctl.Start(argv, env, output));
    if (step.signal != 0) {
      ASSERT_TRUE(sim.Events().WaitFor(
          [](const SimEvent& e) {
            return e.IsFrame(SimEvent::Kind::In, kCommandReportId, CFG_14) ||
                   e.IsFrame(SimEvent::Kind::In, kCalibrationReportId, CAL_READ_DATA);
          },
          before, 10s));
      kill(ctl.Pid(), step.signal);
    }
    EXPECT_EQ(ctl.WaitExit(10s), step.status) << e2e::ReadFile(output);
    EXPECT_NE(e2e::ReadFile(output).find(step.output), std::string::npos) << e2e::ReadFile(output);
  }
  // Only the FIFO: nothing saved, no temporary file.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(files.Path()), {}), 1);
}

}  // namespace
}  // namespace orvelle
