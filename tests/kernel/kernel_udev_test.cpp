// Arrival and removal as udev tells them, and the node's permissions as the
// package's rule sets them, with systemd-udevd running in the machine.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <thread>

#include "devlink/hid/hidraw_bus.h"
#include "devlink/protocol.h"
#include "tests/kernel/kernel_fixture.h"
#include "tests/support/sim_fixture.h"

namespace orvelle::kernel {
namespace {

using orvelle::testing::NoticeLog;
using orvelle::testing::Quick;
using orvelle::testing::RecordingSink;
using orvelle::testing::Request;

class KernelUdev : public ::testing::Test {
 protected:
  // Watching starts before the controller comes, so that its arrival is
  // udev's notice: the node has its permissions only once udev is done.
  void SetUp() override {
    Shell("udevadm settle --timeout=10");
    link.SetOwner(&sink);
    watch = link.WatchDevices(notices.Callback());
    ASSERT_TRUE(watch) << "no udev monitor";
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    ASSERT_TRUE(notices.Next(DeviceNotice::Kind::Arrival)) << "udev told no arrival";
    notices.Take(0);
    ASSERT_TRUE(link.Open());
  }
  void TearDown() override { link.StopThreads(); }

  // Once udev told the unplug, plugs back; empty once the link is open on
  // the new node, else what went wrong. `reopen` is how long that took after
  // udev's arrival notice.
  std::string PlugBack(double& reopen) {
    if (!notices.Next(DeviceNotice::Kind::Removal)) return "udev told no removal";
    std::string error;
    if (!sim.Plug("", error)) return error;
    const auto arrived = notices.Next(DeviceNotice::Kind::Arrival);
    if (!arrived) return "udev told no arrival";
    link.StopThreads();
    const bool open = link.Open();
    reopen = Milliseconds(Clock::now() - *arrived);
    notices.Take(0);
    return open ? "" : "the link did not open";
  }

  SimulatedController sim{ThroughUhid()};
  std::shared_ptr<HidBus> bus = MakeHidrawBus();
  RecordingSink sink;
  CUSBTransfer link{Quick(LinkProfile::Console(), 5s), bus};
  NoticeLog notices;
  std::unique_ptr<DeviceWatch> watch;
};

// The kernel takes its time to tear a device down (its input devices first,
// hidraw last); the link's part is measured from the moment a bare open of
// the node sees the hang-up.
TEST_F(KernelUdev, UnplugDuringARequestEndsItsWaitAndAReplugIsReopened) {
  sim.SetFault({7, GET_MODEL}, {FaultKind::Silent});
  const uint64_t before = sim.Events().LastSeq();
  Clock::time_point unplugged, requestEnded, nodeHungUp;
  std::thread request([&] {
    EXPECT_FALSE(link.SendAndWait(kCommandChannel, Request(7, GET_MODEL, {})));
    requestEnded = Clock::now();
  });
  const int bare = open(NodeAtPort(SimUsbPhys()).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(bare, 0);
  std::thread hangUp([&] {
    pollfd p{bare, 0, 0};
    while (poll(&p, 1, 10000) == 1 && !(p.revents & (POLLHUP | POLLERR))) {
      char drain[64];
      [[maybe_unused]] ssize_t n = read(bare, drain, sizeof drain);
    }
    nodeHungUp = Clock::now();
  });
  ASSERT_TRUE(orvelle::testing::AwaitFrame(sim, SimEvent::Kind::In, 7, GET_MODEL, 5s, before));
  unplugged = Clock::now();
  sim.Unplug();
  request.join();
  hangUp.join();
  close(bare);
  Figure("kernel: unplug to the node's hang-up", Milliseconds(nodeHungUp - unplugged), "ms");
  Figure("link: hang-up to the end of the wait", Milliseconds(requestEnded - nodeHungUp), "ms");
  EXPECT_LT(Milliseconds(requestEnded - nodeHungUp), 100);

  sim.ClearFaults();
  // The first open after the notice succeeds: udev has set the node up by
  // then. How long the open takes is the emulated machine's speed.
  double reopen = 0;
  ASSERT_EQ(PlugBack(reopen), "");
  Figure("re-opened after udev's arrival notice", reopen, "ms");
  EXPECT_TRUE(link.SendAndWait(kCommandChannel, Request(7, GET_MODEL, {})));
}

TEST_F(KernelUdev, AHundredReplugsLeaveNoDescriptorOrThreadBehind) {
  const int descriptors = OpenDescriptorCount();
  const int threads = ThreadCount();
  std::vector<double> reopens;
  for (int cycle = 0; cycle < 100; ++cycle) {
    double reopen = 0;
    sim.Unplug();
    ASSERT_EQ(PlugBack(reopen), "") << "cycle " << cycle;
    reopens.push_back(reopen);
  }
  EXPECT_TRUE(link.SendAndWait(kCommandChannel, Request(7, GET_MODEL, {})));
  Figure("re-open after arrival, median of 100", Median(reopens), "ms");
  Figure("re-open after arrival, slowest of 100", *std::max_element(reopens.begin(), reopens.end()),
         "ms");
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
  EXPECT_EQ(ThreadCount(), threads);
}

// The value the rule gives `key`; empty when it gives none.
std::string RuleValue(const std::string& rule, const std::string& key) {
  std::smatch value;
  return std::regex_search(rule, value, std::regex(key + "=\"([^\"]+)\"")) ? value[1].str() : "";
}

TEST_F(KernelUdev, ThePackagesRuleGivesTheNodeItsGroupAndMode) {
  const std::string rule = ReadText(Setting("ORVELLE_UDEV_RULE"));
  const std::string group = RuleValue(rule, "GROUP"), mode = RuleValue(rule, "MODE");
  ASSERT_FALSE(group.empty() || mode.empty()) << rule;
  const struct group* named = getgrnam(group.c_str());
  ASSERT_TRUE(named) << "no group " << group;
  const std::string node = NodeAtPort(SimUsbPhys());
  struct stat st;
  ASSERT_EQ(stat(node.c_str(), &st), 0);
  std::printf("%s", Shell("ls -l " + node).output.c_str());
  EXPECT_EQ(st.st_gid, named->gr_gid);
  EXPECT_EQ(st.st_mode & 07777, std::stoul(mode, nullptr, 8));
}

TEST_F(KernelUdev, AUserWhoMayNotOpenTheNodeIsToldSoAndNeverConnected) {
  const std::string node = NodeAtPort(SimUsbPhys());
  ASSERT_EQ(chown(node.c_str(), 0, 0), 0);
  ASSERT_EQ(chmod(node.c_str(), 0600), 0);
  const CommandResult info =
      Shell("setpriv --reuid=65534 --regid=65534 --clear-groups " + Program("orvellectl", "info"));
  EXPECT_EQ(info.status, 3) << info.output;
  EXPECT_NE(info.output.find("this user may not open it"), std::string::npos) << info.output;
  EXPECT_EQ(info.output.find("connected"), std::string::npos) << info.output;
}

}  // namespace
}  // namespace orvelle::kernel
