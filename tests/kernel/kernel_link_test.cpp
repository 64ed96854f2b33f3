// The device link against the running kernel: the simulated controller plugs
// in through /dev/uhid, the kernel's HID core and driver take it, and the
// programs find it as a hidraw node through sysfs and libudev.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>

#include "devlink/controller_order.h"
#include "devlink/hid/event.h"
#include "devlink/hid/hidraw_bus.h"
#include "devlink/protocol.h"
#include "sim/report_descriptor.h"
#include "tests/kernel/kernel_fixture.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/wait_until.h"

namespace orvelle::kernel {
namespace {

using orvelle::testing::Quick;
using orvelle::testing::RecordingSink;
using orvelle::testing::Request;

class KernelLink : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    collections = WaitForController(*bus);
    ASSERT_EQ(collections.size(), 6u) << "the kernel made no hidraw node for the controller";
  }

  std::unique_ptr<CUSBTransfer> OpenLink(LinkProfile profile, RecordingSink& sink) {
    auto link = std::make_unique<CUSBTransfer>(Quick(std::move(profile)), bus);
    link->SetOwner(&sink);
    // The raw points answer no request: taken unasked, as Tessaly takes them.
    link->TakeUnasked([](std::span<const uint8_t> frame) {
      return frame[0] == kCalibrationReportId && frame[1] == CAL_RAW_POINT;
    });
    EXPECT_TRUE(link->Open());
    return link;
  }

  SimulatedController sim{ThroughUhid()};
  std::shared_ptr<HidBus> bus = MakeHidrawBus();
  std::vector<HidCollection> collections;
};

TEST_F(KernelLink, SixCollectionsOnOneNodeWithTheLengthsTheProgramsExpect) {
  const std::array<std::pair<uint16_t, uint16_t>, 6> lengths = {
      {{62, 0}, {9, 2}, {6, 0}, {64, 4}, {48, 48}, {64, 64}}};
  for (size_t i = 0; i < lengths.size(); ++i) {
    SCOPED_TRACE(collections[i].path);
    EXPECT_EQ(collections[i].path, kStableNode + "#col0" + std::to_string(i + 1));
    EXPECT_EQ(std::make_pair(collections[i].inputLength, collections[i].outputLength), lengths[i]);
    EXPECT_EQ(collections[i].vendorId, 0x2A5C);
    EXPECT_EQ(collections[i].productId, 19);
    EXPECT_FALSE(collections[i].simulated);
  }
  const std::string uevent = NodeUevent(NodeAtPort(SimUsbPhys()));
  EXPECT_NE(uevent.find("HID_ID=0003:00002A5C:00000013\n"), std::string::npos) << uevent;
  EXPECT_NE(uevent.find("DRIVER=" + Setting("ORVELLE_EXPECT_DRIVER") + "\n"), std::string::npos)
      << uevent;
}

TEST_F(KernelLink, EveryOrvellectlExchangeWorksThroughTheKernel) {
  const CommandResult list = Shell(Program("orvellectl", "list"));
  EXPECT_EQ(list.status, 0) << list.output;
  EXPECT_NE(list.output.find(kStableNode), std::string::npos) << list.output;
  const CommandResult info = Shell(Program("orvellectl", "info"));
  EXPECT_EQ(info.status, 0) << info.output;

  const std::string value = sim.State().value15 == 1500 ? "2500" : "1500";
  const CommandResult set = Shell(Program("orvellectl", "config set cfg15.value=" + value));
  EXPECT_EQ(set.status, 0) << set.output;
  const CommandResult show = Shell(Program("orvellectl", "config show"));
  EXPECT_NE(show.output.find("cfg15.value=" + value + "\n"), std::string::npos) << show.output;

  const CommandResult exported = Shell(Program("orvellectl", "calibration export /tmp/before.cal"));
  ASSERT_EQ(exported.status, 0) << exported.output;
  EXPECT_EQ(Shell(Program("orvellectl", "calibration reset")).status, 0);
  const CommandResult imported = Shell(Program("orvellectl", "calibration import /tmp/before.cal"));
  EXPECT_EQ(imported.status, 0) << imported.output;
  ASSERT_EQ(Shell(Program("orvellectl", "calibration export /tmp/after.cal")).status, 0);
  EXPECT_EQ(ReadText("/tmp/after.cal"), ReadText("/tmp/before.cal"));
}

TEST_F(KernelLink, TheCalibrationProfileTakesEveryRawPointOfATargetRun) {
  RecordingSink sink;
  auto link = OpenLink(LinkProfile::Calibration(), sink);
  const uint64_t start = sim.Events().LastSeq();
  sim.TouchTargets(TargetRun{{}, 20, 400, 3, 20ms, 0ms, 10s});
  ASSERT_TRUE(link->SendAndWait(kCalibrationChannel, Request(6, CAL_BEGIN, {})));
  ASSERT_TRUE(sim.WaitTouchesDone(60s));
  const auto rawPoint = [](const SimEvent& e) {
    return e.IsFrame(SimEvent::Kind::Out, 6, CAL_RAW_POINT);
  };
  const size_t sent = sim.Events().Count(rawPoint, start);
  ASSERT_GE(sent, 4u * 21u) << "every target is touched 20 times, then let go";
  EXPECT_TRUE(sink.WaitForCount(6, CAL_RAW_POINT, sent, 10s))
      << sink.Count(6, CAL_RAW_POINT) << " of " << sent << " arrived";
}

// Two frames at two ports: each is found at its own port's path, also once both are plugged back
// in the other order.
TEST_F(KernelLink, TwoControllersAtTwoPortsKeepTheirPathsAcrossAReplug) {
  SimControllerOptions options = ThroughUhid();
  options.port = 2;
  SimulatedController second(options);
  std::string error;
  ASSERT_TRUE(second.Start(error)) << error;
  const std::vector<std::string> both = {kStableNode, "/dev/hidraw@" + SimUsbPhys(2)};
  const auto found = [&] {
    std::vector<std::string> paths;
    for (const FoundController& f : FindControllers(*bus, LinkProfile::Console()))
      paths.push_back(f.path);
    return paths;
  };
  const auto waitFor = [&](const std::vector<std::string>& paths) {
    return orvelle::testing::WaitUntil([&] { return found() == paths; }, 10s, 10ms);
  };
  ASSERT_TRUE(waitFor(both));
  const std::string secondNode = NodeAtPort(SimUsbPhys(2));
  sim.Unplug();
  second.Unplug();
  ASSERT_TRUE(waitFor({}));
  ASSERT_TRUE(second.Plug("", error) && sim.Plug("", error)) << error;
  ASSERT_TRUE(waitFor(both));
  // The kernel numbers the nodes as they come, and may or may not give the same number again.
  std::printf("port 2: %s, then %s\n", secondNode.c_str(), NodeAtPort(SimUsbPhys(2)).c_str());
}

// Two processes on one node: while this one holds the controller for a group
// (flock on the node), orvellectl waits, then names this process and ends;
// once the group ends it goes through.
TEST_F(KernelLink, AGroupOnTheNodeHoldsOffAnotherProcess) {
  RecordingSink sink;
  auto link = OpenLink(LinkProfile::Console(), sink);
  ExchangeGroup held = link->BeginGroup();
  ASSERT_TRUE(held);
  const CommandResult busy = Shell(Program("orvellectl", "info"));
  EXPECT_EQ(busy.status, 6) << busy.output;
  EXPECT_NE(busy.output.find("kernel_link_tests (process " + std::to_string(getpid()) + ")"),
            std::string::npos)
      << busy.output;
  held.End();
  const CommandResult done = Shell(Program("orvellectl", "info"));
  EXPECT_EQ(done.status, 0) << done.output;
}

// With the kernel's own touch driver bound, hidraw still hands out the
// digitizer's reports; the kernel makes an input device of them as well.
TEST_F(KernelLink, TouchReportsStillReachHidraw) {
  auto digitizer = bus->Open(kStableNode + "#col01", Access::Read);
  ASSERT_TRUE(digitizer);
  sim.Touch(TouchStream{{2048, 1024}, 3, 0, 0});
  Event stop;
  std::array<uint8_t, 1024> buffer{};
  for (int i = 0; i < 4; ++i) {
    const ReadResult r = digitizer->Read(buffer, stop);
    ASSERT_EQ(r.status, ReadStatus::Data);
    EXPECT_EQ(r.count, kDigitizerReportLength);
    EXPECT_EQ(buffer[0], kDigitizerReportId);
  }
  const std::string node = NodeAtPort(SimUsbPhys());
  const std::string inputs =
      Shell("cat /sys/class/hidraw/" + node.substr(5) + "/device/input/*/name 2>/dev/null").output;
  std::printf("input devices of the controller: %s\n", inputs.empty() ? "none\n" : inputs.c_str());
}

}  // namespace
}  // namespace orvelle::kernel
