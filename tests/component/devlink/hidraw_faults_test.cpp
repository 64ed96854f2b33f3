// The link on a node that behaves as hidraw does: unplug during a request, a
// request made inside an answer handler, opens refused for want of the udev
// rule, hung and failed writes, and a controller that comes back as another
// node at the same port.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <thread>

#include "devlink/device_change.h"
#include "devlink/frame.h"
#include "devlink/usb_transfer.h"
#include "tests/support/frames.h"
#include "tests/support/hidraw_like_bus.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;
using testing::HidrawLikeBus;
using testing::Request;

// A wait that should end at once has an hour: a link that waits hangs the test.
constexpr auto kHour = 3600s;

// The owner thread is the test thread; Post() has nothing to wake.
class IdleDispatcher : public AnswerDispatcher {
 public:
  void Post() override {}
};

// Records the code of every frame handed over; runs `inside` in the first
// handler, as a handler with a message box open lets other code run.
class Sink : public AnswerSink {
 public:
  void OnAnswer(std::span<const uint8_t> frame) override {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    codes.push_back(frame[1]);
    if (codes.size() == 1 && inside) inside();
    --depth;
    handled.fetch_add(1);
  }
  std::function<void()> inside;
  std::atomic<size_t> handled{0};
  std::vector<uint8_t> codes;
  int depth = 0, maxDepth = 0;
};

struct Rig {
  explicit Rig(LinkProfile profile, bool withDispatcher) {
    profile.startPause = 0ms;
    profile.answerTimeout = kHour;
    link = std::make_unique<CUSBTransfer>(profile, bus);
    link->SetOwner(&sink);
    if (withDispatcher) link->SetDispatcher(&dispatcher);
    watch = link->WatchDevices([this](const DeviceNotice& n) {
      std::lock_guard lock(mutex);
      notices.push_back(n);
      noticed.notify_all();
    });
  }
  // Applies the notices received so far (waiting for the first) as a window
  // would, one by one.
  std::vector<DeviceChangeAction> ApplyNotices() {
    std::vector<DeviceNotice> taken;
    {
      std::unique_lock lock(mutex);
      noticed.wait_for(lock, 10s, [this] { return !notices.empty(); });
      taken.swap(notices);
    }
    std::vector<DeviceChangeAction> actions;
    DeviceChangeReactions reactions{[this] { link->Open(); }, {}};
    for (const auto& n : taken)
      actions.push_back(OnDeviceChange(*link, n, reactions));
    return actions;
  }
  void AnswerEveryRequest() {
    bus->SetResponder([](HidrawLikeBus& b, size_t index, const HidrawLikeBus::Report& r) {
      b.PushInput(index, Request(r[0], r[1], {1}));
    });
  }
  bool Ask(int channel = kCommandChannel) {
    return link->SendAndWait(channel, Request(kCommandReportId, GET_MODEL_CODE, {1}));
  }
  static constexpr uint8_t GET_MODEL_CODE = 0xF2;

  std::shared_ptr<HidrawLikeBus> bus = std::make_shared<HidrawLikeBus>();
  Sink sink;
  IdleDispatcher dispatcher;
  std::unique_ptr<CUSBTransfer> link;
  std::mutex mutex;
  std::condition_variable noticed;
  std::vector<DeviceNotice> notices;
  std::unique_ptr<DeviceWatch> watch;
};

bool Has(const std::vector<DeviceChangeAction>& actions, DeviceChangeAction a) {
  return std::find(actions.begin(), actions.end(), a) != actions.end();
}

// Unplugging ends every wait at once with failure; the removal notice that
// follows clears the connected flag.
TEST(HidrawFaults, UnplugEndsEveryWaitAtOnce) {
  struct Case {
    const char* what;
    bool dispatcher;
    bool pause;  // a pause rather than a request
  };
  for (const Case c : {Case{"request, reader-thread handlers", false, false},
                       Case{"request, window-thread handlers", true, false},
                       Case{"pause, window-thread handlers", true, true}}) {
    SCOPED_TRACE(c.what);
    Rig rig(LinkProfile::Console(), c.dispatcher);
    ASSERT_TRUE(rig.link->Open());
    std::thread unplug;
    const auto start = std::chrono::steady_clock::now();
    if (c.pause) {
      unplug = std::thread([&] {
        std::this_thread::sleep_for(20ms);
        rig.bus->Unplug();
      });
      rig.link->Pause(kHour);
    } else {
      // The controller goes while the request is on its way.
      rig.bus->SetResponder([](HidrawLikeBus& b, size_t, const auto&) { b.Unplug(); });
      EXPECT_FALSE(rig.Ask());
    }
    if (unplug.joinable()) unplug.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, kHour) << "ended by the unplug";
    EXPECT_TRUE(Has(rig.ApplyNotices(), DeviceChangeAction::MarkDisconnected));
    EXPECT_FALSE(rig.Ask()) << "later requests fail at once";
  }
}

// A request made while a handler runs (its message box open) is answered;
// handlers still never nest, and the answer is handed over after the outer
// handler returned.
TEST(HidrawFaults, RequestInsideAHandlerIsAnswered) {
  struct Case {
    const char* what;
    bool outerIsARequest;  // the handler runs inside a request's wait, else in a drain
  };
  for (const Case c :
       {Case{"handler run by a drain", false}, Case{"handler run inside a request", true}}) {
    SCOPED_TRACE(c.what);
    Rig rig(LinkProfile::Calibration(), true);
    ASSERT_TRUE(rig.link->Open());
    rig.AnswerEveryRequest();
    bool nestedAnswered = false;
    rig.sink.inside = [&] {
      nestedAnswered =
          rig.link->SendAndWait(kCalibrationChannel, Request(kCalibrationReportId, 0x05, {0}));
    };
    if (c.outerIsARequest) {
      EXPECT_TRUE(
          rig.link->SendAndWait(kCalibrationChannel, Request(kCalibrationReportId, 0x03, {})));
    } else {
      rig.bus->PushInput(kCalibrationChannel, Request(kCalibrationReportId, 0x08, {7, 1, 0, 1, 0}));
      rig.link->Pause(50ms);
    }
    rig.link->DrainAnswers();
    EXPECT_TRUE(nestedAnswered);
    EXPECT_EQ(rig.sink.maxDepth, 1);
    ASSERT_EQ(rig.sink.codes.size(), 2u);
    EXPECT_EQ(rig.sink.codes[1], 0x05) << "the nested request's answer comes second";
  }
}

// A controller the user may not open is not connected, and the link says why.
TEST(HidrawFaults, RefusedOpensLeaveTheLinkDisconnected) {
  struct Case {
    int refuse;
    bool opens;
  };
  for (const Case c : {Case{EACCES, false}, Case{0, true}}) {
    SCOPED_TRACE(c.refuse);
    Rig rig(LinkProfile::Calibration(), false);
    rig.bus->RefuseOpens(c.refuse);
    EXPECT_EQ(rig.link->Open(), c.opens);
    EXPECT_EQ(rig.link->IsConnected() != 0, c.opens);
    EXPECT_EQ(rig.link->LastOpenError(), c.refuse);
  }
}

// A failed write fails its request and the writes queued behind it, not the
// link; stopping waits for the one transfer in flight only.
TEST(HidrawFaults, FailedAndSlowWrites) {
  Rig rig(LinkProfile::Factory(), false);
  ASSERT_TRUE(rig.link->Open());
  rig.AnswerEveryRequest();
  rig.bus->SetWriteTime(20ms, /*failures=*/1);
  EXPECT_FALSE(rig.Ask()) << "a USB time-out ends the request";
  EXPECT_TRUE(rig.Ask()) << "and the link goes on";
}

TEST(HidrawFaults, StopWaitsForTheTransferInFlightOnly) {
  Rig rig(LinkProfile::Factory(), false);
  ASSERT_TRUE(rig.link->Open());
  rig.bus->SetWriteTime(200ms);
  const size_t before = rig.bus->WritesStarted();
  const auto f = Request(kCommandReportId, 0x11, {3});
  for (int i = 0; i < 4; ++i)
    EXPECT_TRUE(rig.link->WriteReport(kCommandChannel, f));
  while (rig.bus->WritesStarted() == before)
    std::this_thread::sleep_for(1ms);
  rig.link->StopThreads();
  EXPECT_EQ(rig.bus->WritesStarted(), before + 1) << "queued writes are not made after a stop";
}

// The controller comes back at the same port as another node while the old
// descriptors are still open: the paths match, the decision re-opens, the old
// descriptors are closed, and requests work again.
TEST(HidrawFaults, ReplugAtTheSamePortReopens) {
  Rig rig(LinkProfile::Console(), false);
  ASSERT_TRUE(rig.link->Open());
  rig.AnswerEveryRequest();
  const int descriptors = rig.bus->OpenDescriptors();
  const std::string oldNode = rig.bus->NodeName();

  rig.bus->Unplug();
  EXPECT_TRUE(Has(rig.ApplyNotices(), DeviceChangeAction::MarkDisconnected));
  EXPECT_EQ(rig.link->IsConnected(), 0);

  rig.bus->Replug();
  ASSERT_NE(rig.bus->NodeName(), oldNode);
  EXPECT_TRUE(Has(rig.ApplyNotices(), DeviceChangeAction::StopThenReopen));
  EXPECT_NE(rig.link->IsConnected(), 0);
  EXPECT_EQ(rig.bus->OpenDescriptors(), descriptors) << "the removed node's descriptors closed";
  EXPECT_TRUE(rig.Ask());
}

// Every read open of a node gets every report of it: one open reads for the
// node's collections, a report wakes one reader, and each report reaches its
// own channel's handling (a 48-byte answer is taken on channel 4 only).
TEST(HidrawFaults, OneReaderServesEveryCollectionOfTheNode) {
  Rig rig(LinkProfile::Calibration(), false);
  ASSERT_TRUE(rig.link->Open());
  EXPECT_EQ(rig.bus->OpenDescriptors(), kChannelCount + 1) << "one write open each, one read";
  for (size_t index = 0; index < kChannelCount; ++index) {
    rig.bus->PushInput(index, index == kCalibrationChannel
                                  ? Request(kCalibrationReportId, 0x05, {1})
                                  : HidrawLikeBus::Report(8, static_cast<uint8_t>(index)));
  }
  for (int i = 0;
       i < 10000 && (rig.sink.handled.load() == 0 || rig.bus->ReadWakeUps() < kChannelCount); ++i) {
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(rig.sink.handled.load(), 1u);
  EXPECT_EQ(rig.bus->ReadWakeUps(), kChannelCount);
}

}  // namespace
}  // namespace orvelle
