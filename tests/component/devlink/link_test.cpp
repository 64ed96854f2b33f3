// The link on a bus that behaves as hidraw does, with the faults of a real node.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <future>
#include <numeric>
#include <thread>

#include "devlink/device_change.h"
#include "devlink/frame.h"
#include "devlink/usb_transfer.h"
#include "tests/support/frames.h"
#include "tests/support/hidraw_like_bus.h"
#include "tests/support/recording_sink.h"
#include "tests/support/wait_until.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;
using testing::HidrawLikeBus;
using testing::Request;
using testing::WaitUntil;

// The answer time-out only ends a test that fails: every answer here comes at
// once, and every wait that should end early does so within milliseconds.
constexpr auto kLimit = 10s;

LinkProfile Quick(LinkProfile p, std::chrono::milliseconds timeout = kLimit) {
  p.startPause = 0ms;
  p.answerTimeout = timeout;
  return p;
}

class CountingDispatcher : public AnswerDispatcher {
 public:
  void Post() override { posts.fetch_add(1); }
  std::atomic<int> posts{0};
};

struct Rig {
  explicit Rig(LinkProfile profile, bool withDispatcher = false,
               std::chrono::milliseconds timeout = kLimit) {
    link = std::make_unique<CUSBTransfer>(Quick(std::move(profile), timeout), bus);
    link->SetOwner(&sink);
    if (withDispatcher) link->SetDispatcher(&dispatcher);
    watch = link->WatchDevices(notices.Callback());
  }
  std::vector<DeviceChangeAction> ApplyNotices() {
    std::vector<DeviceChangeAction> actions;
    for (const auto& n : notices.Take())
      actions.push_back(OnDeviceChange(*link, n, {[this] { link->Open(); }, {}}));
    return actions;
  }
  void AnswerEveryRequest() {
    bus->SetResponder([](HidrawLikeBus& b, size_t index, const HidrawLikeBus::Report& r) {
      b.PushInput(index, Request(r[0], r[1], {1}));
    });
  }
  bool Ask() { return link->SendAndWait(kCommandChannel, Request(kCommandReportId, 0xF2, {1})); }

  std::shared_ptr<HidrawLikeBus> bus = std::make_shared<HidrawLikeBus>();
  testing::RecordingSink sink;
  CountingDispatcher dispatcher;
  std::unique_ptr<CUSBTransfer> link;
  testing::NoticeLog notices;
  std::unique_ptr<DeviceWatch> watch;
};

// The byte at `at` of every frame, in order.
std::vector<uint8_t> ByteOf(const std::vector<std::vector<uint8_t>>& frames, size_t at) {
  std::vector<uint8_t> bytes;
  for (const auto& frame : frames)
    bytes.push_back(frame.at(at));
  return bytes;
}

TEST(Link, DiscoveryCountsAcceptedCollectionsAndFillsSlotsByLength) {
  const ChannelTable table = MakeChannelTable(4);
  std::vector<HidCollection> simulated;
  for (int i = 0; i < kChannelCount; ++i)
    simulated.push_back({"/run/sim/controller#col0" + std::to_string(i + 1), 0x2A5C, 19,
                         CapsState::Ok, table[i].inputLength, table[i].outputLength, true});
  // Of these, the failed capabilities query of an accepted identity counts.
  const std::vector<HidCollection> others = {
      {"a#col01", 0x2A5C, 19, CapsState::QueryFailed, 64, 64},
      {"a#col02", 0x2A5C, 19, CapsState::NoPreparsedData, 48, 48},
      {"b#col01", 0x3D17, 16, CapsState::Ok, 48, 48}};
  const HidCollection consoleOnly = {"c#col06", 0x3D17, 8, CapsState::Ok, 64, 64};
  const auto console = LinkProfile::Console(), calibration = LinkProfile::Calibration();
  const struct {
    const char* what;
    LinkProfile profile;
    std::vector<HidCollection> others;
    int found;
    std::string slots;  // the channels the controller's collections fill; none: no controller
  } cases[] = {
      {"calibration program", calibration, {}, 6, "012345"},
      {"(64, 4) takes no slot in the console", console, {}, 6, "01245"},
      {"a real controller outranks a simulated one", calibration, simulated, 12, "012345"},
      {"other collections", console, others, 1, ""},
      {"the factory tool: 0x2A5C/19 only", LinkProfile::Factory(), {consoleOnly}, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto bus = std::make_shared<HidrawLikeBus>();
    if (c.slots.empty()) bus->Unplug();
    for (const HidCollection& other : c.others)
      bus->AddCollection(other);
    CUSBTransfer link(Quick(c.profile), bus);
    const bool opened = link.Open();
    EXPECT_EQ(std::tuple(opened, link.AcceptedCount(), link.IsConnected(), link.HasThreads()),
              std::tuple(c.found > 0, c.found, c.found > 0, c.found > 0));
    for (int i = 0; i < kChannelCount; ++i)
      EXPECT_EQ(link.DevicePath(i),
                c.slots.find('0' + i) != std::string::npos ? bus->PathOf(i) : "");
    if (c.found == 0) {
      EXPECT_EQ(bus->OpenDescriptors(), 0);
      EXPECT_FALSE(link.SendAndWait(kCommandChannel, Request(7, 0xF2, {1})));
    }
  }
}

// Other programs' answers reach every open too: only the request's own answer
// (its report ID, code and sub-function) ends the wait and reaches the owner,
// on the reader thread or, with a dispatcher, on the owner thread before the
// wait ends. Without it the request times out, however much else comes.
TEST(Link, OnlyTheRequestsOwnAnswerEndsItsWait) {
  const std::vector<std::pair<int, HidrawLikeBus::Report>> others = {
      {kCommandChannel, Request(7, 0xF3, {1, 'X'})},
      {kCommandChannel, Request(7, 0xF2, {2, 1})},
      {kCalibrationChannel, Request(6, 0xF2, {1})},
      {kCommandChannel, Request(5, 0xF2, {1})}};
  const auto own = Request(7, 0xF2, {1, 'A'});
  for (const auto& [answered, dispatcher] :
       {std::pair{true, false}, std::pair{true, true}, std::pair{false, true}}) {
    SCOPED_TRACE(::testing::Message() << answered << (dispatcher ? " dispatcher" : ""));
    Rig rig(LinkProfile::Console(), dispatcher, answered ? kLimit : 100ms);
    rig.bus->SetResponder([&](HidrawLikeBus& b, size_t, const auto&) {
      for (const auto& [channel, other] : others)
        b.PushInput(channel, other);
      if (answered) b.PushInput(kCommandChannel, own);
    });
    ASSERT_TRUE(rig.link->Open());
    EXPECT_EQ(rig.Ask(), answered);
    rig.link->DrainAnswers();
    ASSERT_EQ(rig.sink.Count(), answered ? 1u : 0u);
    if (!answered) continue;
    EXPECT_EQ(rig.sink.Frames()[0], own);
    EXPECT_EQ(rig.sink.Threads()[0] == std::this_thread::get_id(), dispatcher);
  }
}

// A silent controller times out; reads are split into whole reports only;
// writes fail at once when not connected or on a channel without a writer.
TEST(Link, FactoryLinkTimesOutSplitsReadsAndRefusesWrites) {
  Rig rig(LinkProfile::Factory(), false, 150ms);
  ASSERT_TRUE(rig.link->Open());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(rig.Ask());
  EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
  ASSERT_TRUE(rig.bus->WaitForWrites(1));
  EXPECT_EQ(rig.bus->Writes(kCommandChannel)[0], Request(kCommandReportId, 0xF2, {1}));

  rig.link->TakeUnasked([](std::span<const uint8_t>) { return true; });
  auto two = Request(7, 0xF2, {1, 'A'});
  const auto second = Request(7, 0x11, {4, 1});
  two.insert(two.end(), second.begin(), second.end());
  rig.bus->PushInput(kCommandChannel, {two.begin(), two.begin() + 100});
  rig.bus->PushInput(kCommandChannel, two);
  rig.bus->PushInput(kCommandChannel, Request(7, 0x01, {1}));
  ASSERT_TRUE(rig.sink.WaitFor(3));
  // The 100-byte read on a 64-byte channel is ignored whole.
  EXPECT_EQ(ByteOf(rig.sink.Frames(), 1), (std::vector<uint8_t>{0xF2, 0x11, 0x01}));

  const auto f = Request(7, 0xF2, {1});
  rig.link->SetConnected(false);
  EXPECT_FALSE(rig.link->WriteReport(kCommandChannel, f));
  rig.link->SetConnected(true);
  EXPECT_TRUE(rig.link->WriteReport(kCommandChannel, f));
  EXPECT_FALSE(rig.link->WriteReport(0, f));
}

// A write that could go out at once still waits while earlier writes are
// queued or in hand, so reports reach the controller in the order sent.
TEST(Link, DirectWritesNeverOvertakeQueuedOnes) {
  Rig rig(LinkProfile::Console());
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  rig.bus->SetResponder([released](HidrawLikeBus&, size_t, const HidrawLikeBus::Report& r) {
    if (r[3] == 1) released.wait();  // the writer thread holds the first report
  });
  ASSERT_TRUE(rig.link->Open());
  EXPECT_TRUE(rig.link->WriteReport(kCommandChannel, Request(7, 0x11, {1})));
  EXPECT_TRUE(rig.link->WriteReport(kCommandChannel, Request(7, 0x11, {2})));
  rig.bus->AllowDirectWrites(true);
  EXPECT_TRUE(rig.link->WriteReport(kCommandChannel, Request(7, 0x11, {3})));
  release.set_value();
  ASSERT_TRUE(rig.bus->WaitForWrites(3));
  EXPECT_EQ(ByteOf(rig.bus->Writes(kCommandChannel), 3), (std::vector<uint8_t>{1, 2, 3}));
}

// Frames the controller sends by itself wait for the owner thread and keep
// their order; those queued before a request do not answer it.
TEST(LinkDispatcher, UnsolicitedFramesWaitForTheOwnerAndAnswerNothing) {
  Rig rig(LinkProfile::Calibration(), true, 100ms);
  rig.link->TakeUnasked([](std::span<const uint8_t> f) { return f[1] == 0x08; });
  ASSERT_TRUE(rig.link->Open());
  for (uint8_t x = 0; x < 50; ++x)
    rig.bus->PushInput(kCalibrationChannel, Request(6, 0x08, {7, x, 0, 0, 0}));
  ASSERT_TRUE(WaitUntil([&] { return rig.dispatcher.posts.load() >= 50; }));
  EXPECT_EQ(rig.sink.Count(), 0u) << "nothing runs on the reader thread";
  EXPECT_FALSE(rig.link->SendAndWait(kCalibrationChannel, Request(6, 0x01, {})));
  std::vector<uint8_t> order(50);
  std::iota(order.begin(), order.end(), 0);
  EXPECT_EQ(ByteOf(rig.sink.Frames(), 4), order) << "handed over in order during the wait";
}

// Unplugging ends every wait at once with failure; the removal notice clears the connected flag.
// The controller then comes back at the same port as another node while the old descriptors are
// still open: the paths match, the decision re-opens, the old descriptors are closed.
TEST(HidrawFaults, UnplugEndsEveryWaitAtOnceAndReplugReopens) {
  for (const auto& [what, dispatcher, pause] :
       {std::tuple{"request, reader-thread handlers", false, false},
        std::tuple{"request, window-thread handlers", true, false},
        std::tuple{"pause, window-thread handlers", true, true}}) {
    SCOPED_TRACE(what);
    Rig rig(LinkProfile::Console(), dispatcher);
    ASSERT_TRUE(rig.link->Open());
    const int descriptors = rig.bus->OpenDescriptors();
    const auto start = std::chrono::steady_clock::now();
    if (pause) {
      std::thread unplug([&] {
        std::this_thread::sleep_for(20ms);
        rig.bus->Unplug();
      });
      rig.link->Pause(kLimit);
      unplug.join();
    } else {
      rig.bus->SetResponder([](HidrawLikeBus& b, size_t, const auto&) { b.Unplug(); });
      EXPECT_FALSE(rig.Ask());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, kLimit / 2) << "ended by the unplug";
    EXPECT_THAT(rig.ApplyNotices(), ::testing::Contains(DeviceChangeAction::MarkDisconnected));
    EXPECT_FALSE(rig.link->IsConnected());
    EXPECT_FALSE(rig.Ask()) << "later requests fail at once";

    rig.bus->Replug();
    EXPECT_THAT(rig.ApplyNotices(), ::testing::Contains(DeviceChangeAction::StopThenReopen));
    EXPECT_EQ(rig.bus->OpenDescriptors(), descriptors) << "the removed node's descriptors closed";
    rig.AnswerEveryRequest();
    EXPECT_TRUE(rig.Ask());
  }
}

// A request made while a handler runs (its message box open) is answered; handlers still never
// nest, and the answer is handed over after the outer handler returned.
TEST(HidrawFaults, RequestInsideAHandlerIsAnswered) {
  for (const bool outerIsARequest : {false, true}) {
    SCOPED_TRACE(outerIsARequest ? "handler run inside a request" : "handler run by a drain");
    Rig rig(LinkProfile::Calibration(), true);
    rig.link->TakeUnasked([](std::span<const uint8_t> f) { return f[1] == 0x08; });
    ASSERT_TRUE(rig.link->Open());
    rig.AnswerEveryRequest();
    bool nestedAnswered = false;
    rig.sink.RunInsideFirst([&] {
      nestedAnswered = rig.link->SendAndWait(kCalibrationChannel, Request(6, 0x05, {0}));
    });
    if (outerIsARequest) {
      EXPECT_TRUE(rig.link->SendAndWait(kCalibrationChannel, Request(6, 0x03, {})));
    } else {
      rig.bus->PushInput(kCalibrationChannel, Request(6, 0x08, {7, 1, 0, 1, 0}));
      EXPECT_TRUE(WaitUntil([&] {
        rig.link->Pause(1ms);
        return rig.sink.Count() >= 2;
      }));
    }
    rig.link->DrainAnswers();
    EXPECT_TRUE(nestedAnswered);
    EXPECT_EQ(rig.sink.MaxDepth(), 1);
    EXPECT_EQ(ByteOf(rig.sink.Frames(), 1),
              (std::vector<uint8_t>{uint8_t(outerIsARequest ? 0x03 : 0x08), 0x05}));
  }
}

// A controller the user may not open is not connected, and the link says why.
TEST(HidrawFaults, RefusedOpensLeaveTheLinkDisconnected) {
  for (const int refuse : {EACCES, 0}) {
    SCOPED_TRACE(refuse);
    Rig rig(LinkProfile::Calibration());
    rig.bus->RefuseOpens(refuse);
    EXPECT_EQ(rig.link->Open(), refuse == 0);
    EXPECT_EQ(rig.link->IsConnected(), refuse == 0);
    EXPECT_EQ(rig.link->LastOpenError(), refuse);
  }
}

// A failed write (a USB time-out) fails its request at once and drops the writes queued behind
// it; the link goes on. Stopping waits for the one transfer in flight and closes the channels.
TEST(HidrawFaults, FailedWriteDropsTheWritesBehindItAndStopWaitsForOneTransfer) {
  Rig rig(LinkProfile::Factory());
  ASSERT_TRUE(rig.link->Open());
  rig.AnswerEveryRequest();
  rig.bus->SetWriteTime(0ms, /*failures=*/1);
  rig.bus->HoldWrites(true);
  std::thread behind([&] {
    if (!WaitUntil([&] { return rig.bus->WritesStarted() > 0; })) return;
    rig.link->WriteReport(kCommandChannel, Request(kCommandReportId, 0x11, {2}));
    rig.bus->HoldWrites(false);
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(rig.Ask());
  EXPECT_LT(std::chrono::steady_clock::now() - start, kLimit / 2) << "ended by the USB time-out";
  behind.join();
  EXPECT_TRUE(rig.Ask());
  EXPECT_EQ(rig.bus->WritesStarted(), 2u) << "the write queued behind was dropped";

  rig.bus->HoldWrites(true);
  const auto f = Request(kCommandReportId, 0x11, {3});
  for (int i = 0; i < 4; ++i)
    EXPECT_TRUE(rig.link->WriteReport(kCommandChannel, f));
  ASSERT_TRUE(WaitUntil([&] { return rig.bus->WritesStarted() > 2; }));
  rig.link->StopThreads();
  EXPECT_EQ(rig.bus->WritesStarted(), 3u) << "queued writes are not made after a stop";
  EXPECT_EQ(rig.bus->OpenDescriptors(), 0) << "so that an unplugged node can go";
}

// Every read open of a node gets every report of it: one open reads for all its collections, a
// report wakes one reader and reaches its own channel only (a 48-byte answer on channel 4 only).
TEST(HidrawFaults, OneReaderServesEveryCollectionOfTheNode) {
  Rig rig(LinkProfile::Calibration());
  rig.link->TakeUnasked([](std::span<const uint8_t>) { return true; });
  ASSERT_TRUE(rig.link->Open());
  EXPECT_EQ(rig.bus->OpenDescriptors(), kChannelCount + 1) << "one write open each, one read";
  for (size_t index = 0; index < kChannelCount; ++index)
    rig.bus->PushInput(index, index == kCalibrationChannel
                                  ? Request(kCalibrationReportId, 0x05, {1})
                                  : HidrawLikeBus::Report(8, static_cast<uint8_t>(index)));
  WaitUntil([&] { return rig.sink.Count() > 0 && rig.bus->ReadWakeUps() >= kChannelCount; });
  EXPECT_EQ(rig.sink.Count(), 1u);
  EXPECT_EQ(rig.bus->ReadWakeUps(), size_t{kChannelCount});
}

}  // namespace
}  // namespace orvelle
