// The orvelle-sim command driven through its prompt and its script mode, as a
// person or a test script would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "devlink/catalogue.h"
#include "tests/support/sim_fixture.h"

extern char** environ;

namespace orvelle {
namespace {

using namespace testing;

// orvelle-sim with pipes on its standard input and output.
class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& args) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> all = {ORVELLE_SIM_COMMAND};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    output_ = out[0];
    fcntl(output_, F_SETFL, O_NONBLOCK);
  }
  ~SimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    CloseInput();
    if (output_ >= 0) close(output_);
  }
  bool Started() const { return pid_ > 0; }
  void Write(const std::string& text) {
    ASSERT_EQ(write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void CloseInput() {
    if (input_ >= 0) close(input_);
    input_ = -1;
  }
  // Reads until `text` has appeared in the output (true) or the process ended.
  bool ReadUntil(const std::string& text, std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (output.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() >= end || !ReadSome(50)) return false;
    }
    return true;
  }
  // Reads everything up to end of output, then the exit status.
  int Finish() {
    while (ReadSome(20000)) {
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  void Signal(int signal) { kill(pid_, signal); }

  std::string output;

 private:
  // False at end of output.
  bool ReadSome(int timeoutMs) {
    pollfd p{output_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return true;
    char chunk[4096];
    const ssize_t n = read(output_, chunk, sizeof chunk);
    if (n > 0) output.append(chunk, static_cast<size_t>(n));
    return n > 0 || (n < 0 && errno == EAGAIN);
  }
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
};

const std::string kSocket = "/touch-2a5c-0013";

TEST(SimCommand, PromptDrivesTheControllerAndLogsEveryFrame) {
  TempFolder folder;
  SimProcess sim({"--dir", folder.Path(), "--log", "--state", folder.File("state.txt")});
  ASSERT_TRUE(sim.Started());
  ASSERT_TRUE(sim.ReadUntil("plugged in at " + folder.Path() + kSocket)) << sim.output;
  EXPECT_TRUE(std::filesystem::exists(folder.Path() + kSocket));

  sim.Write("set model SIM-0001\nrefuse TOUCH_SETTINGS once\nstatus\n");
  ASSERT_TRUE(sim.ReadUntil("rule: TOUCH_SETTINGS refuse (once)\n")) << sim.output;
  RecordingSink sink;
  CUSBTransfer link(Quick(LinkProfile::Factory()), SimOnlyBus(folder.Path()));
  link.SetOwner(&sink);
  ASSERT_TRUE(link.Open());
  ASSERT_TRUE(link.SendAndWait(kCommandChannel, Request(7, GET_MODEL, {1})));
  EXPECT_EQ(FrameText(sink.Last(), 4, 8), "SIM-0001");
  ASSERT_TRUE(link.SendAndWait(kCommandChannel, Request(7, TOUCH_SETTINGS, {4, 2})));
  EXPECT_EQ(sink.Last()[4], 0);
  link.StopThreads();

  sim.Write("help\nfrobnicate\nquit\n");
  EXPECT_EQ(sim.Finish(), 0);
  const std::string& out = sim.output;
  EXPECT_NE(out.find("in  07 F2 01 01 FF  GET_MODEL"), std::string::npos) << out;
  EXPECT_NE(out.find("out 07 F2 09 01 53 49 4D 2D 30 30 30 31 FF  GET_MODEL"), std::string::npos);
  EXPECT_NE(out.find("out 07 11 02 04 00 FF  TOUCH_SETTINGS"), std::string::npos);
  EXPECT_NE(out.find("malformed CMD terminator|length|reportid"), std::string::npos);
  EXPECT_NE(out.find("error: unknown command \"frobnicate\""), std::string::npos);
  EXPECT_NE(out.find("note unplugged"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + kSocket));
  std::ifstream state(folder.File("state.txt"));
  std::string text((std::istreambuf_iterator<char>(state)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("model=SIM-0001\n"), std::string::npos);
}

TEST(SimCommand, ScriptRunsThenEndOfInputUnplugs) {
  TempFolder folder;
  std::ofstream(folder.File("script")) << "set mode 2\nsend CAL_RAW_POINT 07 10 00 20 00\n"
                                          "wait CAL_BEGIN 50\nshow\n";
  SimProcess sim({"--dir", folder.Path(), "--script", folder.File("script"), "--identity",
                  "3d17:000a", "--ch3-output", "8"});
  ASSERT_TRUE(sim.Started());
  sim.CloseInput();
  EXPECT_EQ(sim.Finish(), 1) << "the wait that failed fails the script";
  const std::string& out = sim.output;
  EXPECT_NE(out.find("plugged in at " + folder.Path() + "/touch-3d17-000a"), std::string::npos)
      << out;
  EXPECT_NE(out.find("error: CAL_BEGIN not received"), std::string::npos);
  EXPECT_NE(out.find("cal_mode=2"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/touch-3d17-000a"));
}

TEST(SimCommand, TerminationSignalUnplugsCleanly) {
  TempFolder folder;
  std::ofstream(folder.File("script")) << "hold\n";
  SimProcess sim({"--dir", folder.Path(), "--script", folder.File("script")});
  ASSERT_TRUE(sim.Started());
  ASSERT_TRUE(sim.ReadUntil("plugged in at")) << sim.output;
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Finish(), 0);
  EXPECT_NE(sim.output.find("note unplugged"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + kSocket));
}

TEST(SimCommand, BadOptionsAndDamagedStateAreRefused) {
  TempFolder folder;
  SimProcess badIdentity({"--dir", folder.Path(), "--identity", "2a5c"});
  EXPECT_EQ(badIdentity.Finish(), 2);
  std::ofstream(folder.File("state.txt")) << "cal_mode=9\n";
  SimProcess badState({"--dir", folder.Path(), "--state", folder.File("state.txt")});
  EXPECT_EQ(badState.Finish(), 1);
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + kSocket));
}

}  // namespace
}  // namespace orvelle
