// The orvellectl executable against the orvelle-sim executable, in order.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "devlink/catalogue.h"
#include "sim/simulated_controller.h"
#include "tests/support/e2e/child_process.h"
#include "tests/support/temp_folder.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;
using e2e::ChildProcess;

struct Step {
  std::vector<std::string> args;
  int status;
  std::string output;  // a part of standard output and error
};

TEST(CtlTranscript, ScriptedSessionAgainstTheSimulator) {
  testing::TempFolder folder;
  // No real controller may take part: the hidraw roots are empty folders.
  const std::vector<std::string> env = e2e::EnvironmentWith(
      {"ORVELLE_SIM_DIR=" + folder.File("sim"), "ORVELLE_SYSFS_ROOT=" + folder.Path(),
       "ORVELLE_DEV_ROOT=" + folder.Path()});
  ChildProcess sim;
  ASSERT_TRUE(
      sim.Start({ORVELLE_SIM_COMMAND, "--dir", folder.File("sim")}, env, folder.File("sim.log")));
  ASSERT_TRUE(e2e::WaitUntil(
      [&] { return e2e::ReadFile(folder.File("sim.log")).find("plugged in") != std::string::npos; },
      10s));
  const Step steps[] = {
      {{"list"}, 0, "2a5c:0013  simulated touch controller  6 collections"},
      {{"info"}, 0, "model:       OVT-6510\nidentity 2:  FW2.10.7\n"},
      {{"config", "set", "cfg15.value=2500", "cfg12.a=on"}, 0, ""},
      {{"config", "show"}, 0, "cfg15.value=2500\n"},
      {{"calibration", "set", "mode=3", "option=2"}, 0, ""},
      {{"--json", "calibration", "show"}, 0, "{\n  \"mode\": 3,\n  \"option\": 2\n}\n"},
  };
  int n = 0;
  for (const Step& step : steps) {
    std::vector<std::string> argv = {ORVELLE_CTL_COMMAND};
    argv.insert(argv.end(), step.args.begin(), step.args.end());
    const std::string output = folder.File("ctl" + std::to_string(n++) + ".log");
    ChildProcess ctl;
    ASSERT_TRUE(ctl.Start(argv, env, output));
    SCOPED_TRACE(step.args.front());
    EXPECT_EQ(ctl.WaitExit(10s), step.status);
    EXPECT_NE(e2e::ReadFile(output).find(step.output), std::string::npos) << e2e::ReadFile(output);
  }
}

// A FIFO must not block the tool; a stop signal during an exchange ends it
// with 128 + the signal, and a save or export then leaves no file behind.
TEST(CtlTranscript, FifosAreRefusedAndStopSignalsEndTheCommand) {
  testing::TempFolder folder, files;
  SimulatedController sim({.socketPath = folder.File("a")});
  std::string error;
  ASSERT_TRUE(sim.Start(error)) << error;
  const std::vector<std::string> env = e2e::EnvironmentWith({"ORVELLE_SIM_DIR=" + folder.Path(),
                                                             "ORVELLE_SYSFS_ROOT=" + files.Path(),
                                                             "ORVELLE_DEV_ROOT=" + files.Path()});
  const std::string fifo = files.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    std::vector<std::string> args;
    int signal;  // sent once the controller got the silenced request; 0: none
    int status;
  } cases[] = {
      {{"config", "load", fifo}, 0, 2},
      {{"calibration", "import", fifo}, 0, 2},
      {{"config", "save", files.File("saved.json")}, SIGINT, 130},
      {{"calibration", "export", files.File("saved.cal")}, SIGTERM, 143},
  };
  sim.SetFault({kCommandReportId, CFG_14}, {FaultKind::Silent});
  sim.SetFault({kCalibrationReportId, CAL_READ_DATA}, {FaultKind::Silent});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    std::vector<std::string> argv = {ORVELLE_CTL_COMMAND};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const uint64_t before = sim.Events().LastSeq();
    ChildProcess ctl;
    ASSERT_TRUE(ctl.Start(argv, env, folder.File("ctl.log")));
    if (c.signal != 0) {
      ASSERT_TRUE(sim.Events().WaitFor(
          [](const SimEvent& e) {
            return e.IsFrame(SimEvent::Kind::In, kCommandReportId, CFG_14) ||
                   e.IsFrame(SimEvent::Kind::In, kCalibrationReportId, CAL_READ_DATA);
          },
          before, 10s));
      kill(ctl.Pid(), c.signal);
    }
    EXPECT_EQ(ctl.WaitExit(10s), c.status) << e2e::ReadFile(folder.File("ctl.log"));
  }
  // Only the FIFO: nothing saved, no temporary file.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(files.Path()), {}), 1);
}

}  // namespace
}  // namespace orvelle
