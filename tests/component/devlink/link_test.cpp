// The link against an in-memory bus: discovery, threads, stop-and-wait, and
// both ways of handing answers to the program.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "devlink/frame.h"
#include "devlink/usb_transfer.h"
#include "tests/support/fake_bus.h"
#include "tests/support/frames.h"
#include "tests/support/recording_sink.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;
using testing::AddController;
using testing::ControllerPath;
using testing::FakeBus;
using testing::RecordingSink;
using testing::Request;

// Short pauses and time-outs; a wait that should end at once uses an hour, so
// a link that waits shows up as a hanging test.
LinkProfile Quick(LinkProfile p, std::chrono::milliseconds timeout = 3600s) {
  p.startPause = 0ms;
  p.answerTimeout = timeout;
  return p;
}

TEST(Link, NoControllerMeansNoThreadsAndNoWaiting) {
  auto bus = std::make_shared<FakeBus>();
  bus->AddCollection({"/dev/hidraw3#col01", 0x046D, 0xC077, CapsState::Ok, 8, 0});
  CUSBTransfer link(Quick(LinkProfile::Console()), bus);
  EXPECT_FALSE(link.Open());
  EXPECT_EQ(link.AcceptedCount(), 0);
  EXPECT_EQ(link.IsConnected(), 0);
  EXPECT_FALSE(link.HasThreads());
  EXPECT_EQ(bus->OpenCount(), 0);
  const auto f = Request(7, 0xF2, {1});
  EXPECT_FALSE(link.SendAndWait(5, f));
}

TEST(Link, SixMatchingCollectionsFillTheSlots) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus);
  CUSBTransfer link(Quick(LinkProfile::Calibration()), bus);
  EXPECT_EQ(link.Discover(), 6);
  EXPECT_EQ(link.IsConnected(), 1);
  for (int i = 0; i < kChannelCount; ++i)
    EXPECT_EQ(link.DevicePath(i), ControllerPath(i));
  EXPECT_EQ(link.OutputLength(4), 48);
  EXPECT_EQ(link.OutputLength(5), 64);
}

TEST(Link, CapabilityFailuresAndForeignIdentities) {
  auto bus = std::make_shared<FakeBus>();
  bus->AddCollection({"a#col01", 0x2A5C, 19, CapsState::QueryFailed, 64, 64});
  bus->AddCollection({"a#col02", 0x2A5C, 19, CapsState::NoPreparsedData, 48, 48});
  bus->AddCollection({"b#col01", 0x3D17, 16, CapsState::Ok, 48, 48});
  CUSBTransfer link(Quick(LinkProfile::Console()), bus);
  EXPECT_EQ(link.Discover(), 1) << "a failed capabilities query counts; no preparsed data does not";
  EXPECT_EQ(link.IsConnected(), 1);
  for (int i = 0; i < kChannelCount; ++i) EXPECT_EQ(link.DevicePath(i), "");
}

TEST(Link, ARealControllerOutranksASimulatedOne) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus);
  const ChannelTable table = MakeChannelTable(4);
  for (int i = 0; i < kChannelCount; ++i) {
    HidCollection sim{"/run/sim/controller#col0" + std::to_string(i + 1), 0x2A5C, 19,
                      CapsState::Ok, table[i].inputLength, table[i].outputLength};
    sim.simulated = true;
    bus->AddCollection(sim);
  }
  CUSBTransfer link(Quick(LinkProfile::Calibration()), bus);
  EXPECT_EQ(link.Discover(), 12);
  for (int i = 0; i < kChannelCount; ++i)
    EXPECT_EQ(link.DevicePath(i), ControllerPath(i));
}

TEST(Link, ChannelThreeLengthDependsOnTheProgram) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus, /*ch3Output=*/4);
  CUSBTransfer console(Quick(LinkProfile::Console()), bus);
  CUSBTransfer factory(Quick(LinkProfile::Factory()), bus);
  EXPECT_EQ(console.Discover(), 6);
  EXPECT_EQ(console.DevicePath(3), "") << "(64, 4) takes no slot in the console";
  EXPECT_EQ(factory.Discover(), 6);
  EXPECT_EQ(factory.DevicePath(3), ControllerPath(3));

  auto bus3D17 = std::make_shared<FakeBus>();
  AddController(*bus3D17, 4, 0x3D17, 8);
  CUSBTransfer factoryOther(Quick(LinkProfile::Factory()), bus3D17);
  EXPECT_EQ(factoryOther.Discover(), 0) << "the factory tool accepts 0x2A5C/19 only";
}

TEST(Link, AnswerOnAnyChannelEndsTheWait) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus, 8);
  // The controller answers a command frame with a calibration frame.
  bus->SetResponder([](FakeBus& b, const std::string&, const FakeBus::Report&) {
    b.PushRead(ControllerPath(4), Request(6, 0x01, {4}));
  });
  RecordingSink sink;
  CUSBTransfer link(Quick(LinkProfile::Console()), bus);
  link.SetOwner(&sink);
  ASSERT_TRUE(link.Open());
  const auto f = Request(7, 0x12, {1});
  EXPECT_TRUE(link.SendAndWait(5, f)) << "written on 5, answered on 4";
  ASSERT_EQ(sink.Count(), 1u);
  EXPECT_EQ(sink.Frames()[0][1], 0x01);
  EXPECT_NE(sink.Threads()[0], std::this_thread::get_id()) << "without a dispatcher: reader thread";
}

TEST(Link, SilentControllerTimesOutAfterTheProfileTime) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus);
  CUSBTransfer link(Quick(LinkProfile::Factory(), 150ms), bus);
  ASSERT_TRUE(link.Open());
  const auto start = std::chrono::steady_clock::now();
  const auto f = Request(7, 0xF2, {1});
  EXPECT_FALSE(link.SendAndWait(5, f));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
  ASSERT_TRUE(bus->WaitForWrites(1, 10s));
  EXPECT_EQ(bus->Writes(ControllerPath(5))[0], f) << "the whole 64-byte frame goes out";
}

TEST(Link, ConsoleTakesAnyShortReportIdAndItEndsTheWait) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus, 8);
  bus->SetResponder([](FakeBus& b, const std::string&, const FakeBus::Report&) {
    b.PushRead(ControllerPath(5), Request(5, 0x02, {1, 2}));
  });
  RecordingSink sink;
  CUSBTransfer link(Quick(LinkProfile::Console()), bus);
  link.SetOwner(&sink);
  ASSERT_TRUE(link.Open());
  EXPECT_TRUE(link.SendAndWait(5, Request(7, 0x02, {1})));
  ASSERT_EQ(sink.Count(), 1u);
  EXPECT_EQ(sink.Frames()[0][0], 5);
}

TEST(Link, SplitReadsOfWholeReportsOnly) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus);
  RecordingSink sink;
  CUSBTransfer link(Quick(LinkProfile::Factory()), bus);
  link.SetOwner(&sink);
  ASSERT_TRUE(link.Open());
  auto two = Request(7, 0xF2, {1, 'A'});
  const auto second = Request(7, 0x11, {4, 1});
  two.insert(two.end(), second.begin(), second.end());
  bus->PushRead(ControllerPath(5), std::vector<uint8_t>(two.begin(), two.begin() + 100));
  bus->PushRead(ControllerPath(5), two);
  ASSERT_TRUE(sink.WaitFor(2));
  EXPECT_EQ(sink.Frames()[0][1], 0xF2);
  EXPECT_EQ(sink.Frames()[1][1], 0x11);
  // A read of 100 bytes on a 64-byte channel was ignored whole.
  bus->PushRead(ControllerPath(5), Request(7, 0x01, {1}));
  ASSERT_TRUE(sink.WaitFor(3));
  EXPECT_EQ(sink.Frames()[2][1], 0x01);
}

TEST(Link, StopThenOpenStartsFreshThreadsThatKeepReading) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus);
  RecordingSink sink;
  CUSBTransfer link(Quick(LinkProfile::Factory()), bus);
  link.SetOwner(&sink);
  ASSERT_TRUE(link.Open());
  link.StopThreads();
  EXPECT_FALSE(link.HasThreads());
  ASSERT_TRUE(link.Open());
  EXPECT_TRUE(link.HasThreads());
  // Were the stop event still set, the new readers would have ended at once.
  bus->PushRead(ControllerPath(5), Request(7, 0xF2, {1}));
  EXPECT_TRUE(sink.WaitFor(1));
}

TEST(Link, WritesFailAtOnceWhenNotConnectedOrGone) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus);
  CUSBTransfer link(Quick(LinkProfile::Factory()), bus);
  ASSERT_TRUE(link.Open());
  const auto f = Request(7, 0xF2, {1});
  link.SetConnected(0);
  EXPECT_FALSE(link.WriteReport(5, f));
  link.SetConnected(2);
  EXPECT_TRUE(link.WriteReport(5, f)) << "any value but 0 counts as connected";
  EXPECT_FALSE(link.WriteReport(0, f)) << "no write-drain thread on channel 0";

  // Unplugged: the failed write marks the device gone; later sends fail at
  // once instead of waiting out the time-out.
  ASSERT_TRUE(bus->WaitForWrites(1, 10s));
  bus->Unplug(ControllerPath(5));
  link.WriteReport(5, f);
  for (int i = 0; i < 1000 && link.WriteReport(5, f); ++i) std::this_thread::sleep_for(5ms);
  EXPECT_FALSE(link.SendAndWait(5, f));
}

// A write that could go out at once still waits while earlier writes are
// queued or in hand, so reports reach the controller in the order sent.
TEST(Link, DirectWritesNeverOvertakeQueuedOnes) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  bus->SetResponder([released](FakeBus&, const std::string&, const FakeBus::Report& r) {
    if (r[3] == 1) released.wait();  // the writer thread holds the first report
  });
  CUSBTransfer link(Quick(LinkProfile::Console()), bus);
  ASSERT_TRUE(link.Open());
  EXPECT_TRUE(link.WriteReport(5, Request(7, 0x11, {1})));
  EXPECT_TRUE(link.WriteReport(5, Request(7, 0x11, {2})));
  bus->AllowDirectWrites(true);
  EXPECT_TRUE(link.WriteReport(5, Request(7, 0x11, {3})));
  release.set_value();
  ASSERT_TRUE(bus->WaitForWrites(3, 10s));
  std::vector<uint8_t> order;
  for (const auto& w : bus->Writes(ControllerPath(5)))
    order.push_back(w[3]);
  EXPECT_EQ(order, (std::vector<uint8_t>{1, 2, 3}));
}

// The owner thread is the test thread; Post() only counts.
class CountingDispatcher : public AnswerDispatcher {
public:
  void Post() override { posts.fetch_add(1); }
  std::atomic<int> posts{0};
};

TEST(LinkDispatcher, HandlersRunOnTheOwnerThreadBeforeTheWaitEnds) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus);
  bus->SetResponder([](FakeBus& b, const std::string&, const FakeBus::Report& r) {
    b.PushRead(ControllerPath(4), Request(6, r[1], {1}));
  });
  RecordingSink sink;
  CountingDispatcher dispatcher;
  CUSBTransfer link(Quick(LinkProfile::Calibration()), bus);
  link.SetOwner(&sink);
  link.SetDispatcher(&dispatcher);
  ASSERT_TRUE(link.Open());
  EXPECT_TRUE(link.SendAndWait(4, Request(6, 0x03, {})));
  ASSERT_EQ(sink.Count(), 1u) << "handled before SendAndWait returned";
  EXPECT_EQ(sink.Threads()[0], std::this_thread::get_id());
}

TEST(LinkDispatcher, UnsolicitedFramesWaitForTheOwnerAndKeepTheirOrder) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus);
  RecordingSink sink;
  CountingDispatcher dispatcher;
  CUSBTransfer link(Quick(LinkProfile::Calibration()), bus);
  link.SetOwner(&sink);
  link.SetDispatcher(&dispatcher);
  ASSERT_TRUE(link.Open());
  for (uint8_t x = 0; x < 50; ++x)
    bus->PushRead(ControllerPath(4), Request(6, 0x08, {7, x, 0, 0, 0}));
  while (dispatcher.posts.load() < 50) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(sink.Count(), 0u) << "nothing runs on the reader thread";
  link.DrainAnswers();
  ASSERT_EQ(sink.Count(), 50u);
  for (uint8_t x = 0; x < 50; ++x)
    EXPECT_EQ(sink.Frames()[x][4], x);
}

// A handler that itself waits (as one showing a message box does) sees no
// nested handler; frames that arrive meanwhile follow in order.
class NestingSink : public AnswerSink {
public:
  explicit NestingSink(CUSBTransfer*& link) : link_(link) {}
  void OnAnswer(std::span<const uint8_t> frame) override {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    order.push_back(frame[4]);
    if (order.size() == 1) link_->Pause(50ms);
    --depth;
  }
  int depth = 0, maxDepth = 0;
  std::vector<uint8_t> order;

private:
  CUSBTransfer*& link_;
};

TEST(LinkDispatcher, HandlersNeverNest) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus);
  CountingDispatcher dispatcher;
  CUSBTransfer* linkPtr = nullptr;
  NestingSink sink(linkPtr);
  CUSBTransfer link(Quick(LinkProfile::Calibration()), bus);
  linkPtr = &link;
  link.SetOwner(&sink);
  link.SetDispatcher(&dispatcher);
  ASSERT_TRUE(link.Open());
  for (uint8_t x = 1; x <= 3; ++x)
    bus->PushRead(ControllerPath(4), Request(6, 0x08, {7, x, 0, 0, 0}));
  while (dispatcher.posts.load() < 3) std::this_thread::sleep_for(1ms);
  link.Pause(20ms);
  EXPECT_EQ(sink.maxDepth, 1);
  EXPECT_EQ(sink.order, (std::vector<uint8_t>{1, 2, 3}));
}

TEST(LinkDispatcher, FramesQueuedBeforeTheRequestDoNotSatisfyIt) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus);
  RecordingSink sink;
  CountingDispatcher dispatcher;
  CUSBTransfer link(Quick(LinkProfile::Calibration(), 100ms), bus);
  link.SetOwner(&sink);
  link.SetDispatcher(&dispatcher);
  ASSERT_TRUE(link.Open());
  bus->PushRead(ControllerPath(4), Request(6, 0x08, {7, 1, 0, 0, 0}));
  while (dispatcher.posts.load() < 1) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(link.SendAndWait(4, Request(6, 0x01, {}))) << "the controller stays silent";
  EXPECT_EQ(sink.Count(), 1u) << "the earlier frame was still handed on";
}

TEST(Link, TeardownWhileReadersWaitDoesNotHang) {
  auto bus = std::make_shared<FakeBus>();
  AddController(*bus);
  auto link = std::make_unique<CUSBTransfer>(Quick(LinkProfile::Console()), bus);
  ASSERT_TRUE(link->Open());
  link.reset();
  SUCCEED();
}

}  // namespace
}  // namespace orvelle
