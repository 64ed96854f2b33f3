#include "devlink/hid/hidraw_bus.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>

#include "devlink/hid/default_bus.h"
#include "devlink/hid/event.h"
#include "devlink/hid/hidraw_sysfs.h"
#include "devlink/hid/tlc_reports.h"
#include "devlink/link_profile.h"
#include "tests/support/hidraw_like_bus.h"
#include "tests/support/sysfs_tree.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

namespace orvelle {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

using testing::kControllerUevent;

Bytes ControllerDescriptor() {
  return testing::ControllerLikeDescriptor(4);
}

class HidrawBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(roots_.sysfs + "/class/hidraw");
    fs::create_directories(roots_.dev);
    bus_ = MakeHidrawBus(roots_);
  }

  void AddNode(const std::string& name, const std::string& uevent,
               const std::optional<Bytes>& descriptor) {
    testing::AddHidrawNode(roots_, name, uevent, descriptor);
  }

  // A FIFO stands in for the node: what the test writes, the channel reads.
  std::string AddFifoController() {
    AddNode("hidraw0", kControllerUevent, ControllerDescriptor());
    const std::string node = roots_.dev + "/hidraw0";
    EXPECT_EQ(mkfifo(node.c_str(), 0600), 0);
    return node;
  }

  testing::TempFolder folder_;
  const std::string root_ = folder_.Path();
  HidrawRoots roots_{root_ + "/sys", root_ + "/dev"};
  std::unique_ptr<HidBus> bus_;
};

void WriteAll(int fd, const Bytes& bytes) {
  ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Until the reader took everything written; false only in a test that fails.
bool Drained(int fd) {
  return testing::WaitUntil([fd] {
    int pending = 0;
    return ioctl(fd, FIONREAD, &pending) == 0 && pending == 0;
  });
}

TEST_F(HidrawBusTest, EnumeratesOneCollectionPerTopLevelCollectionAndSkipsTheRest) {
  AddNode("hidraw0", kControllerUevent, ControllerDescriptor());
  AddNode("hidraw10", "HID_ID=0005:0000046D:0000B342\n",
          testing::BuildVendorDescriptor({{9, 8, 0}}));
  AddNode("hidraw2", kControllerUevent, Bytes{0xA1, 0x01, 0x85});  // truncated
  AddNode("hidraw3", kControllerUevent, std::nullopt);             // no descriptor, no node
  AddNode("hidraw4", "HID_NAME=no identity\n", ControllerDescriptor());
  AddNode("hidraw5", "HID_ID=0003:00012A5C:00000013\n", ControllerDescriptor());
  AddNode("hidrawx", kControllerUevent, ControllerDescriptor());
  AddNode("event3", kControllerUevent, ControllerDescriptor());

  const auto collections = bus_->Enumerate();
  ASSERT_EQ(collections.size(), 7u);
  const ChannelTable table = MakeChannelTable(4);
  for (size_t i = 0; i < table.size(); ++i) {
    const auto& c = collections[i];
    EXPECT_EQ(std::tuple(c.path, c.vendorId, c.productId, c.caps, c.inputLength, c.outputLength),
              std::tuple(CollectionPath(roots_.dev + "/hidraw@usb-0000:00:14.0-1/input0", i),
                         0x2A5C, 0x13, CapsState::Ok, table[i].inputLength, table[i].outputLength));
  }
  EXPECT_EQ(std::tuple(collections[6].path, collections[6].vendorId, collections[6].inputLength),
            std::tuple(roots_.dev + "/hidraw10#col01", 0x046D, 8));
}

// One open of the node reads for the collections it serves, says whose each
// report is, and pads it to that collection's input length; a report of
// another collection is dropped. Combined with another bus, members keep
// their positions among the opens.
TEST_F(HidrawBusTest, OneOpenReadsForEveryCollectionOfItsNode) {
  const std::string node = AddFifoController();
  std::vector<std::unique_ptr<HidBus>> buses;
  buses.push_back(MakeHidrawBus({roots_.sysfs, root_ + "/other"}));
  buses.push_back(std::move(bus_));
  auto combined = CombineBuses(std::move(buses));
  std::vector<HidBus::ReadOpen> opens;
  opens.push_back({root_ + "/other/hidraw0#col01", nullptr});
  for (const char* collection : {"#col06", "#col05"})
    opens.push_back({node + collection, combined->Open(node + collection, Access::Read)});
  auto shared = combined->ShareReads(std::move(opens));
  ASSERT_EQ(shared.size(), 1u);
  EXPECT_EQ(shared[0].members, (std::vector<size_t>{1, 2}));
  HidChannel& channel = *shared[0].channel;
  const int writer = open(node.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  Event stop;
  std::array<uint8_t, 64> buf;
  buf.fill(0xEE);
  // The FIFO must hand the digitizer's report to a read of its own.
  auto first = std::async(std::launch::async, [&] { return channel.Read(buf, stop); });
  WriteAll(writer, {1, 0x21, 0, 0xFF});
  const bool drained = Drained(writer);
  WriteAll(writer, {7, 0x12, 1, 0x41, 0xFF});
  if (!drained) stop.Set();
  const ReadResult r = first.get();
  ASSERT_TRUE(drained);
  EXPECT_EQ(r.status, ReadStatus::Data);
  EXPECT_EQ(r.member, 0u);
  ASSERT_EQ(r.count, 64u);
  Bytes expected(64, 0);
  std::copy_n(Bytes{7, 0x12, 1, 0x41, 0xFF}.begin(), 5, expected.begin());
  EXPECT_EQ(Bytes(buf.begin(), buf.end()), expected);

  WriteAll(writer, {6, 0x21, 0, 0xFF});
  const ReadResult second = channel.Read(buf, stop);
  EXPECT_EQ(second.member, 1u);
  EXPECT_EQ(second.count, 48u);
  EXPECT_EQ(buf[1], 0x21);

  auto blocked = std::async(std::launch::async, [&] { return channel.Read(buf, stop); });
  stop.Set();
  EXPECT_EQ(blocked.get().status, ReadStatus::Stopped);
  stop.Reset();
  close(writer);
  EXPECT_EQ(channel.Read(buf, stop).status, ReadStatus::Gone);
}

TEST_F(HidrawBusTest, WritesWholeReportsUnlessStoppedAndOpensOnlyItsOwnCollections) {
  const std::string node = AddFifoController();
  const int reader = open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  auto channel = bus_->Open(node + "#col05", Access::Write);
  ASSERT_TRUE(channel);
  Bytes report(48, 0);
  report[0] = 6;
  report[47] = 0x5A;
  Event stop;
  EXPECT_TRUE(channel->Write(report, stop));
  Bytes got(100, 0);
  ASSERT_EQ(read(reader, got.data(), got.size()), 48);
  EXPECT_TRUE(std::equal(report.begin(), report.end(), got.begin()));
  stop.Set();
  EXPECT_FALSE(channel->Write(report, stop));
  EXPECT_LT(read(reader, got.data(), got.size()), 1);
  close(reader);

  EXPECT_TRUE(bus_->Owns(node + "#col01"));
  EXPECT_FALSE(bus_->Owns("/elsewhere/hidraw0#col01"));
  EXPECT_FALSE(bus_->Open(node + "#col07", Access::Read));
  EXPECT_FALSE(bus_->Open(node, Access::Read));
  EXPECT_FALSE(bus_->Open(roots_.dev + "/hidraw0/../hidraw0#col01", Access::Read));
  EXPECT_FALSE(bus_->Open(roots_.dev + "/hidraw7#col01", Access::Read));
}

TEST_F(HidrawBusTest, WatchStartsAndStopsCleanly) {
  auto watch = bus_->WatchDevices([](const DeviceNotice&) {});
  if (!watch) GTEST_SKIP() << "no udev monitor on this machine";
  watch.reset();
}

TEST(HidrawNotices, OneNoticePerCollectionOfTheNode) {
  KnownNodes known = {{"/dev/hidraw1", {"/dev/hidraw1", 2}}};
  const std::string port = "/dev/hidraw@usb-1-2/input0";
  const auto arrivals = NoticesForNodeEvent(known, "add", "/dev/hidraw0", port, 3);
  ASSERT_EQ(arrivals.size(), 3u);
  EXPECT_EQ(arrivals[0].kind, DeviceNotice::Kind::Arrival);
  EXPECT_EQ(arrivals[2].path, port + "#col03");

  // The node is gone by now: what it had is remembered from its arrival.
  const auto removals = NoticesForNodeEvent(known, "remove", "/dev/hidraw0", "", 0);
  ASSERT_EQ(removals.size(), 3u);
  EXPECT_EQ(removals[1].kind, DeviceNotice::Kind::Removal);
  EXPECT_EQ(removals[1].path, port + "#col02");
  EXPECT_TRUE(NoticesForNodeEvent(known, "remove", "/dev/hidraw0", "", 0).empty());

  EXPECT_EQ(NoticesForNodeEvent(known, "remove", "/dev/hidraw1", "", 0).size(), 2u);
  EXPECT_TRUE(NoticesForNodeEvent(known, "add", "/dev/hidraw2", "/dev/hidraw2", 0).empty());
  EXPECT_TRUE(NoticesForNodeEvent(known, "remove", "/dev/hidraw2", "", 0).empty());
  EXPECT_TRUE(NoticesForNodeEvent(known, "change", "/dev/hidraw1", "/dev/hidraw1", 4).empty());
  EXPECT_TRUE(known.empty());
}

// A controller plugged back into its port comes back as another node; its
// collections keep their paths, and those paths open the new node.
TEST_F(HidrawBusTest, PathsFollowThePortNotTheNodeNumber) {
  AddNode("hidraw0", kControllerUevent, ControllerDescriptor());
  const std::string path = bus_->Enumerate().at(5).path;
  fs::remove_all(fs::path(roots_.sysfs) / "class/hidraw/hidraw0");
  AddNode("hidraw3", kControllerUevent, ControllerDescriptor());
  AddNode("hidraw4", "HID_ID=0003:00002A5C:00000013\nHID_PHYS=usb-0000:00:14.0-2/input0\n",
          ControllerDescriptor());
  const auto after = bus_->Enumerate();
  ASSERT_EQ(after.size(), 12u);
  EXPECT_EQ(after[5].path, path) << "same port, same path";
  EXPECT_NE(after[11].path, path) << "another port, another path";
  const std::string node = roots_.dev + "/hidraw3";
  ASSERT_EQ(mkfifo(node.c_str(), 0600), 0);
  const int reader = open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  EXPECT_TRUE(bus_->Open(path, Access::Write)) << "the port's path opens the port's node";
  close(reader);
}

// Sound identities and ports are checked through the enumeration above.
TEST(HidrawUevent, BadIdentitiesAndPortsAreRefused) {
  for (const char* bad : {"HID_ID=0003:00002A5C\n", "HID_ID=0003:2A5C:zz\n", "HID_ID=:1:2\n",
                          "XHID_ID=0003:00002A5C:00000013\n", ""}) {
    EXPECT_FALSE(ParseHidUevent(bad)) << bad;
  }
  EXPECT_EQ(ParseHidPhys("HID_PHYS=a#col01\n"), "") << "would end a collection path";
}

}  // namespace
}  // namespace orvelle
