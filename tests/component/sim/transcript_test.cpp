#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "devlink/protocol.h"
#include "sim/state_file.h"
#include "tests/support/e2e/child_process.h"
#include "tests/support/sim_fixture.h"

namespace orvelle {
namespace {

using namespace testing;
using e2e::ChildProcess;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The end of input unplugs. A setting and a program's write are each saved.
TEST(SimCommand, ScriptAndPromptDriveTheControllerAndLogEveryFrame) {
  TempFolder folder;
  const std::string log = folder.File("sim.log");
  const std::string socket = folder.Path() + "/touch-3d17-000a";
  std::ofstream(folder.File("state.txt")) << FormatState({.modelText = "SIM-0001"});
  std::ofstream(folder.File("script")) << "set mode 2\nrefuse TOUCH_SETTINGS once\nstatus\n"
                                          "wait TOUCH_SETTINGS\nwait TOUCH_SETTINGS\n"
                                          "wait CAL_BEGIN 50\n";
  std::ofstream(folder.File("input")) << "help\nfrobnicate\nshow";
  ChildProcess sim;
  ASSERT_TRUE(
      sim.Start({"/bin/sh", "-c", "exec \"$@\" <\"$0\"", folder.File("input"), ORVELLE_SIM_COMMAND,
                 "--dir", folder.Path(), "--log", "--state", folder.File("state.txt"), "--script",
                 folder.File("script"), "--identity", "3d17:000a", "--ch3-output", "8"},
                e2e::EnvironmentWith({}), log));
  ASSERT_TRUE(e2e::WaitUntil(
      [&] { return Contains(e2e::ReadFile(log), "rule: TOUCH_SETTINGS refuse (once)\n"); }, 20s))
      << e2e::ReadFile(log);
  EXPECT_TRUE(Contains(e2e::ReadFile(log), "plugged in at " + socket));
  EXPECT_TRUE(Contains(e2e::ReadFile(folder.File("state.txt")), "cal_mode=2\n"));

  RecordingSink sink;
  CUSBTransfer link(Quick(LinkProfile::Console()), SimOnlyBus(folder.Path()));
  link.SetOwner(&sink);
  ASSERT_TRUE(link.Open());
  ASSERT_TRUE(link.SendAndWait(kCommandChannel, Request(7, GET_MODEL, {1})));
  EXPECT_EQ(FrameText(sink.Last(), 4, 8), "SIM-0001");
  ASSERT_TRUE(link.SendAndWait(kCommandChannel, Request(7, TOUCH_SETTINGS, {4, 2})));
  EXPECT_EQ(sink.Last()[4], 0);
  ASSERT_TRUE(link.SendAndWait(kCommandChannel, Request(7, TOUCH_SETTINGS, {4, 4})));
  EXPECT_EQ(sink.Last()[4], 1);
  link.StopThreads();

  EXPECT_EQ(sim.WaitExit(20s), 1) << "the wait that failed fails the script";
  const std::string out = e2e::ReadFile(log);
  for (const char* line :
       {"in  07 F2 01 01 FF  GET_MODEL", "out 07 F2 09 01 53 49 4D 2D 30 30 30 31 FF  GET_MODEL",
        "out 07 11 02 04 00 FF  TOUCH_SETTINGS", "error: CAL_BEGIN not received",
        "malformed CMD terminator|length|reportid", "error: unknown command \"frobnicate\"",
        "cal_mode=2", "note unplugged"}) {
    EXPECT_TRUE(Contains(out, line)) << line << "\n" << out;
  }
  EXPECT_FALSE(std::filesystem::exists(socket));
  const std::string state = e2e::ReadFile(folder.File("state.txt"));
  EXPECT_TRUE(Contains(state, "model=SIM-0001\n")) << state;
  EXPECT_TRUE(Contains(state, "touch_limits=10,4\n")) << state;
}

TEST(SimCommand, BadStartsAreRefusedAndATerminationUnplugs) {
  TempFolder folder;
  const std::string log = folder.File("sim.log");
  std::ofstream(folder.File("state.txt")) << "cal_mode=9\n";
  const struct {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"--identity", "2a5c"}, 2},
      {{"--ch3-output", "6"}, 2},
      {{"--state", folder.File("state.txt")}, 1},
      {{}, 0},  // terminated once plugged in
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {ORVELLE_SIM_COMMAND, "--dir", folder.Path()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ChildProcess sim;
    ASSERT_TRUE(sim.Start(argv, e2e::EnvironmentWith({}), log));
    if (c.args.empty()) {
      ASSERT_TRUE(
          e2e::WaitUntil([&] { return Contains(e2e::ReadFile(log), "plugged in at"); }, 20s));
      sim.Stop();
    }
    EXPECT_EQ(sim.WaitExit(20s), c.status) << argv.back();
  }
  EXPECT_TRUE(Contains(e2e::ReadFile(log), "note unplugged")) << e2e::ReadFile(log);
  EXPECT_EQ(e2e::ReadFile(folder.File("state.txt")), "cal_mode=9\n");
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/touch-2a5c-0013"));
}

}  // namespace
}  // namespace orvelle
