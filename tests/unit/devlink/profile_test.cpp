#include <gtest/gtest.h>

#include <cctype>
#include <memory>

#include "devlink/device_change.h"
#include "devlink/link_profile.h"
#include "devlink/usb_transfer.h"
#include "tests/support/hidraw_like_bus.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;

TEST(LinkProfile, AcceptsItsIdentitiesAsPairs) {
  const auto console = LinkProfile::Console();
  EXPECT_TRUE(console.Accepts(0x3D17, 8));
  EXPECT_TRUE(console.Accepts(0x3A52, 0x68)) << "the last pair";
  EXPECT_FALSE(console.Accepts(0x3D17, 16)) << "product of another pair";
}

// Paths compare without regard to case, as Windows device paths do.
TEST(DeviceChange, DecisionsFollowTheLinkState) {
  using Kind = DeviceNotice::Kind;
  using Action = DeviceChangeAction;
  enum State { NothingFound, Connected, Disconnected };
  const auto console = LinkProfile::Console();
  const auto factory = LinkProfile::Factory();
  struct Case {
    const char* what;
    LinkProfile profile;
    State state;
    Kind kind;
    bool ownPath;  // the notice names a collection of the controller found
    Action expected;
  };
  const Case cases[] = {
      {"any arrival may be it", console, NothingFound, Kind::Arrival, false, Action::Reopen},
      {"nothing to lose", console, NothingFound, Kind::Removal, false, Action::None},
      {"another device arrives", console, Connected, Kind::Arrival, false, Action::None},
      {"the controller leaves", console, Connected, Kind::Removal, true, Action::MarkDisconnected},
      {"its later removals", console, Disconnected, Kind::Removal, true, Action::None},
      {"it returns", console, Disconnected, Kind::Arrival, true, Action::StopThenReopen},
      {"its later arrivals", console, Connected, Kind::Arrival, true, Action::None},
      {"another port once channels exist", console, Disconnected, Kind::Arrival, false,
       Action::None},
      {"the factory tool ignores arrivals", factory, NothingFound, Kind::Arrival, false,
       Action::None},
      {"and removals", factory, Connected, Kind::Removal, true, Action::None},
  };
  // Pointed at its controller, a link decides alike, but no other controller's notice is its own.
  for (const bool pointed : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (pointed ? ", pointed at it" : ""));
      auto bus = std::make_shared<testing::HidrawLikeBus>();
      if (c.state == NothingFound) bus->Unplug();
      auto profile = c.profile;
      profile.startPause = 0ms;
      CUSBTransfer link(profile, bus);
      if (pointed) link.SetDevice(bus->PathOf(0));
      link.Open();
      if (c.state == Disconnected) link.SetConnected(false);
      std::string path = c.ownPath ? bus->PathOf(5) : "/dev/hidraw9#col01";
      for (char& ch : path)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      EXPECT_EQ(DecideDeviceChange(link, {c.kind, path}),
                pointed && !c.ownPath ? Action::None : c.expected);
    }
  }
}

}  // namespace
}  // namespace orvelle
