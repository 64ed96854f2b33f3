#include <gtest/gtest.h>

#include <memory>

#include "devlink/device_change.h"
#include "devlink/link_profile.h"
#include "devlink/usb_transfer.h"
#include "tests/support/fake_bus.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;

TEST(LinkProfile, ChannelTableFirstMatchWins) {
  auto table = MakeChannelTable(4);
  EXPECT_EQ(FindChannel(table, 48, 48), 4);
  EXPECT_EQ(FindChannel(table, 64, 8), -1);
  table[2] = {48, 48};
  EXPECT_EQ(FindChannel(table, 48, 48), 2);
}

TEST(LinkProfile, AcceptedIdentities) {
  auto bus = std::make_shared<testing::FakeBus>();
  CUSBTransfer console(LinkProfile::Console(), bus);
  CUSBTransfer factory(LinkProfile::Factory(), bus);
  EXPECT_TRUE(console.IsAcceptedId(0x3D17, 8));
  EXPECT_TRUE(console.IsAcceptedId(0x2F09, 0x1106));
  EXPECT_TRUE(console.IsAcceptedId(0x3A52, 0x68));
  EXPECT_FALSE(console.IsAcceptedId(0x3D17, 16)) << "product of another row";
  EXPECT_TRUE(factory.IsAcceptedId(0x2A5C, 19));
  EXPECT_FALSE(factory.IsAcceptedId(0x3D17, 8));

  auto uneven = LinkProfile::Console();
  uneven.productIds.pop_back();
  CUSBTransfer broken(uneven, bus);
  EXPECT_FALSE(broken.IsAcceptedId(0x3D17, 8)) << "lists of different lengths accept nothing";
}

class DeviceChangeTest : public ::testing::Test {
protected:
  DeviceChangeTest() {
    auto profile = LinkProfile::Console();
    profile.startPause = 0ms;
    link = std::make_unique<CUSBTransfer>(profile, bus);
  }
  void PlugController() {
    bus->AddCollection({"/dev/hidraw0#col05", 0x2A5C, 19, CapsState::Ok, 48, 48});
    bus->AddCollection({"/dev/hidraw0#col06", 0x2A5C, 19, CapsState::Ok, 64, 64});
  }
  DeviceNotice Arrival(std::string p) { return {DeviceNotice::Kind::Arrival, std::move(p)}; }
  DeviceNotice Removal(std::string p) { return {DeviceNotice::Kind::Removal, std::move(p)}; }

  std::shared_ptr<testing::FakeBus> bus = std::make_shared<testing::FakeBus>();
  std::unique_ptr<CUSBTransfer> link;
};

TEST_F(DeviceChangeTest, WithoutAControllerEveryArrivalReopens) {
  EXPECT_FALSE(link->Open());
  EXPECT_EQ(DecideDeviceChange(*link, Arrival("/dev/hidraw7#col01")), DeviceChangeAction::Reopen);
  EXPECT_EQ(DecideDeviceChange(*link, Removal("/dev/hidraw7#col01")), DeviceChangeAction::None);
}

TEST_F(DeviceChangeTest, RemovalThenReturnOnTheSamePath) {
  PlugController();
  ASSERT_TRUE(link->Open());
  EXPECT_EQ(DecideDeviceChange(*link, Arrival("/dev/hidraw9#col01")), DeviceChangeAction::None)
      << "an unrelated device while connected";

  int removed = 0;
  int reopened = 0;
  DeviceChangeReactions react{[&] { ++reopened; link->Open(); }, [&] { ++removed; }};
  EXPECT_EQ(OnDeviceChange(*link, Removal("/DEV/HIDRAW0#COL06"), react),
            DeviceChangeAction::MarkDisconnected)
      << "paths compare without regard to case";
  EXPECT_EQ(link->IsConnected(), 0);
  EXPECT_EQ(OnDeviceChange(*link, Removal("/dev/hidraw0#col05"), react), DeviceChangeAction::None)
      << "later removals find the flag cleared";
  EXPECT_EQ(removed, 1);

  EXPECT_EQ(OnDeviceChange(*link, Arrival("/dev/hidraw0#col05"), react),
            DeviceChangeAction::StopThenReopen);
  EXPECT_EQ(reopened, 1);
  EXPECT_EQ(link->IsConnected(), 1);
  EXPECT_EQ(OnDeviceChange(*link, Arrival("/dev/hidraw0#col06"), react), DeviceChangeAction::None);
}

TEST_F(DeviceChangeTest, ReturnOnAnotherPathIsNotNoticedOnceChannelsExist) {
  PlugController();
  ASSERT_TRUE(link->Open());
  link->SetConnected(0);
  EXPECT_EQ(DecideDeviceChange(*link, Arrival("/dev/hidraw3#col06")), DeviceChangeAction::None);
}

TEST_F(DeviceChangeTest, TheFactoryToolListensButNeverActs) {
  auto profile = LinkProfile::Factory();
  profile.startPause = 0ms;
  CUSBTransfer factory(profile, bus);
  EXPECT_EQ(DecideDeviceChange(factory, Arrival("/dev/hidraw0#col06")), DeviceChangeAction::None);
  PlugController();
  ASSERT_TRUE(factory.Open());
  EXPECT_EQ(DecideDeviceChange(factory, Removal("/dev/hidraw0#col06")), DeviceChangeAction::None);
}

}  // namespace
}  // namespace orvelle
