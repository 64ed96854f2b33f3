// Arrival and removal as udev tells them, and the node's permissions as the
// package's rule sets them, with systemd-udevd running in the machine.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>

#include "devlink/catalogue.h"
#include "devlink/hid/hidraw_bus.h"
#include "tests/kernel/kernel_fixture.h"
#include "tests/support/sim_fixture.h"

namespace orvelle::kernel {
namespace {

using Clock = std::chrono::steady_clock;
using orvelle::testing::Quick;
using orvelle::testing::RecordingSink;
using orvelle::testing::Request;

// The notices a link's watch gave, with the time each came.
class NoticeLog {
 public:
  void Add(const DeviceNotice& notice) {
    std::lock_guard lock(mutex_);
    notices_.push_back({notice.kind, Clock::now()});
    changed_.notify_all();
  }
  // The time of the next notice of `kind`, passing over the others (there is
  // one per collection); nullopt when none came in time.
  std::optional<Clock::time_point> Next(DeviceNotice::Kind kind,
                                        std::chrono::milliseconds limit = 10s) {
    std::unique_lock lock(mutex_);
    std::optional<Clock::time_point> when;
    changed_.wait_for(lock, limit, [&] {
      while (!notices_.empty()) {
        const auto [k, t] = notices_.front();
        notices_.pop_front();
        if (k == kind) {
          when = t;
          return true;
        }
      }
      return false;
    });
    return when;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    notices_.clear();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<DeviceNotice::Kind, Clock::time_point>> notices_;
};

SimControllerOptions ThroughUhid() {
  SimControllerOptions options;
  options.transport = SimTransport::Uhid;
  return options;
}

class KernelUdev : public ::testing::Test {
 protected:
  // Watching starts before the controller comes, so that its arrival is
  // udev's notice: the node has its permissions only once udev is done.
  void SetUp() override {
    Shell("udevadm settle --timeout=10");
    link.SetOwner(&sink);
    watch = link.WatchDevices([this](const DeviceNotice& n) { notices.Add(n); });
    ASSERT_TRUE(watch) << "no udev monitor";
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    ASSERT_TRUE(notices.Next(DeviceNotice::Kind::Arrival)) << "udev told no arrival";
    notices.Clear();
    ASSERT_TRUE(link.Open());
  }
  void TearDown() override { link.StopThreads(); }

  // Unplugs and plugs back; empty once the link is open on the new node,
  // else what went wrong. `reopen` is how long that took after udev's
  // arrival notice.
  std::string Replug(double& reopen) {
    sim.Unplug();
    if (!notices.Next(DeviceNotice::Kind::Removal)) return "udev told no removal";
    std::string error;
    if (!sim.Plug("", error)) return error;
    const auto arrived = notices.Next(DeviceNotice::Kind::Arrival);
    if (!arrived) return "udev told no arrival";
    link.StopThreads();
    const bool open = link.Open();
    reopen = std::chrono::duration<double, std::milli>(Clock::now() - *arrived).count();
    notices.Clear();
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
  const int bare = open(NodeAtPort(kSimUsbPort).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(bare, 0);
  std::thread hangUp([&] {
    pollfd p{bare, 0, 0};
    while (poll(&p, 1, 10000) == 1 && !(p.revents & (POLLHUP | POLLERR))) {
      char drain[64];
      [[maybe_unused]] ssize_t n = read(bare, drain, sizeof drain);
    }
    nodeHungUp = Clock::now();
  });
  ASSERT_TRUE(sim.Events().WaitFor(
      [](const SimEvent& e) { return e.IsFrame(SimEvent::Kind::In, 7, GET_MODEL); }, before, 5s));
  unplugged = Clock::now();
  sim.Unplug();
  request.join();
  hangUp.join();
  close(bare);
  const auto ms = [](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
  };
  Figure("kernel: unplug to the node's hang-up", ms(nodeHungUp - unplugged), "ms");
  Figure("link: hang-up to the end of the wait", ms(requestEnded - nodeHungUp), "ms");
  EXPECT_LT(ms(requestEnded - nodeHungUp), 100);

  sim.ClearFaults();
  ASSERT_TRUE(notices.Next(DeviceNotice::Kind::Removal)) << "udev told no removal";
  std::string error;
  ASSERT_TRUE(sim.Plug("", error)) << error;
  const auto arrived = notices.Next(DeviceNotice::Kind::Arrival);
  ASSERT_TRUE(arrived) << "udev told no arrival";
  link.StopThreads();
  ASSERT_TRUE(link.Open());
  const double reopen = std::chrono::duration<double, std::milli>(Clock::now() - *arrived).count();
  // The first open after the notice succeeds: udev has set the node up by
  // then. How long the open takes is the emulated machine's speed.
  Figure("re-opened after udev's arrival notice", reopen, "ms");
  EXPECT_TRUE(link.SendAndWait(kCommandChannel, Request(7, GET_MODEL, {})));
}

TEST_F(KernelUdev, AHundredReplugsLeaveNoDescriptorOrThreadBehind) {
  const int descriptors = OpenDescriptorCount();
  const int threads = ThreadCount();
  std::vector<double> reopens;
  for (int cycle = 0; cycle < 100; ++cycle) {
    double reopen = 0;
    ASSERT_EQ(Replug(reopen), "") << "cycle " << cycle;
    reopens.push_back(reopen);
  }
  EXPECT_TRUE(link.SendAndWait(kCommandChannel, Request(7, GET_MODEL, {})));
  Figure("re-open after arrival, median of 100", Median(reopens), "ms");
  Figure("re-open after arrival, slowest of 100", *std::max_element(reopens.begin(), reopens.end()),
         "ms");
  EXPECT_EQ(OpenDescriptorCount(), descriptors);
  EXPECT_EQ(ThreadCount(), threads);
}

struct RulePromise {
  std::string group;
  mode_t mode = 0;
};

RulePromise ReadRule(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  const std::string rule = text.str();
  std::smatch group, mode;
  RulePromise promise;
  if (std::regex_search(rule, group, std::regex("GROUP=\"([^\"]+)\""))) promise.group = group[1];
  if (std::regex_search(rule, mode, std::regex("MODE=\"([0-7]+)\"")))
    promise.mode = static_cast<mode_t>(std::stoul(mode[1], nullptr, 8));
  return promise;
}

TEST_F(KernelUdev, ThePackagesRuleGivesTheNodeItsGroupAndMode) {
  const RulePromise promise = ReadRule(Setting("ORVELLE_UDEV_RULE"));
  ASSERT_FALSE(promise.group.empty());
  const group* named = getgrnam(promise.group.c_str());
  ASSERT_TRUE(named) << "no group " << promise.group;
  const std::string node = NodeAtPort(kSimUsbPort);
  struct stat st;
  ASSERT_EQ(stat(node.c_str(), &st), 0);
  std::printf("%s", Shell("ls -l " + node).output.c_str());
  EXPECT_EQ(st.st_gid, named->gr_gid);
  EXPECT_EQ(st.st_mode & 07777, promise.mode);
}

TEST_F(KernelUdev, AUserWhoMayNotOpenTheNodeIsToldSoAndNeverConnected) {
  const std::string node = NodeAtPort(kSimUsbPort);
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
