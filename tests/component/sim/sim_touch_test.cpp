// Timed behaviour over the real transport: touch streams and the fault rules.
#include <gtest/gtest.h>

#include <cstdlib>

#include "devlink/catalogue.h"
#include "tests/support/sim_fixture.h"

namespace orvelle {
namespace {

using namespace testing;

class SimTouches : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
  }
  std::unique_ptr<CUSBTransfer> OpenLink(LinkProfile profile, RecordingSink& sink,
                                         std::chrono::milliseconds timeout = 5s) {
    auto link = std::make_unique<CUSBTransfer>(Quick(std::move(profile), timeout),
                                               SimOnlyBus(folder.Path()));
    link->SetOwner(&sink);
    EXPECT_TRUE(link->Open());
    return link;
  }

  TempFolder folder;
  SimulatedController sim{ControllerIn(folder)};
};

// The benchmark in bench/sim measures the rate; this only checks that nothing
// is lost at 1,000 reports a second.
TEST_F(SimTouches, ThousandReportsASecondArriveInFull) {
  RecordingSink sink;
  auto link = OpenLink(LinkProfile::Calibration(), sink);
  ASSERT_TRUE(link->SendAndWait(kCalibrationChannel, Request(6, CAL_BEGIN, {})));
  constexpr int kReports = 1000;
  sim.Touch(TouchStream{{1000, 2000}, kReports, 1000, 5});
  ASSERT_TRUE(sim.WaitTouchesDone(60s));
  ASSERT_TRUE(sink.WaitForCount(6, CAL_RAW_POINT, kReports + 1, 30s))
      << sink.Count(6, CAL_RAW_POINT) << " received";
  // Opens that no thread reads (the link opens every slot) fill up and miss
  // reports, as hidraw's would; what counts is the reader's own count.
  EXPECT_EQ(sink.Count(6, CAL_RAW_POINT), static_cast<size_t>(kReports + 1));
  for (const auto& f : sink.Frames()) {
    if (f[1] != CAL_RAW_POINT) continue;
    EXPECT_LE(std::abs((f[4] | (f[5] << 8)) - 1000), 5);
    EXPECT_LE(std::abs((f[6] | (f[7] << 8)) - 2000), 5);
  }
}

TEST_F(SimTouches, OutsideCalibrationTouchesAreDigitizerReports) {
  auto bus = SimOnlyBus(folder.Path());
  auto digitizer = bus->Open(sim.Path() + "#col01", Access::Read);
  ASSERT_TRUE(digitizer);
  while (sim.OpenCount() < 1)
    std::this_thread::sleep_for(1ms);
  sim.Touch(TouchStream{{2048, 1024}, 3, 0, 0});
  Event stop;
  std::array<uint8_t, 1024> buffer{};
  for (int i = 0; i < 4; ++i) {
    const ReadResult r = digitizer->Read(buffer, stop);
    ASSERT_EQ(r.status, ReadStatus::Data);
    ASSERT_EQ(r.count, 62u);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[1], i < 3 ? 0x03 : 0x00) << "three touching reports, then the lift";
    EXPECT_EQ(buffer[3] | (buffer[4] << 8), 2048);
    EXPECT_EQ(buffer[5] | (buffer[6] << 8), 1024);
  }
}

TEST_F(SimTouches, FaultRulesShapeTheAnswers) {
  RecordingSink sink;
  auto link = OpenLink(LinkProfile::Console(), sink, 500ms);
  const auto write12 = Request(7, CFG_12, {2, 1, 1, 1});

  sim.SetFault({7, CFG_12}, FaultRule{FaultKind::Refuse, true});
  ASSERT_TRUE(link->SendAndWait(kCommandChannel, write12));
  EXPECT_EQ(sink.Last()[3], 2);
  EXPECT_EQ(sink.Last()[4], 0);
  EXPECT_EQ(sim.State().cfg12, (std::array<uint8_t, 3>{0, 0, 0}));
  ASSERT_TRUE(link->SendAndWait(kCommandChannel, write12));
  EXPECT_EQ(sink.Last()[4], 1) << "the rule held once";

  sim.SetFault({7, TOUCH_SETTINGS}, FaultRule{FaultKind::Silent, false});
  EXPECT_FALSE(link->SendAndWait(kCommandChannel, Request(7, TOUCH_SETTINGS, {2, 1})));
  EXPECT_EQ(sim.State().touchSetting, 2) << "a lost request changes nothing";

  FaultRule late{FaultKind::Delay};
  late.delay = 100ms;
  sim.SetFault({7, GET_MODEL}, late);
  const uint64_t mark = sim.Events().LastSeq();
  ASSERT_TRUE(link->SendAndWait(kCommandChannel, Request(7, GET_MODEL, {1})));
  EXPECT_EQ(sink.Last()[1], GET_MODEL);
  EXPECT_EQ(
      sim.Events().Count([](const SimEvent& e) { return e.kind == SimEvent::Kind::Out; }, mark),
      1u);

  FaultRule broken{FaultKind::Malformed};
  broken.malform = MalformKind::Terminator;
  sim.SetFault({6, CAL_GET_MODE}, broken);
  EXPECT_FALSE(link->SendAndWait(kCalibrationChannel, Request(6, CAL_GET_MODE, {})));

  // An answer with the other report ID arrives on the other channel and still
  // ends the console's wait.
  broken.malform = MalformKind::ReportId;
  sim.SetFault({7, GET_INFO_F3}, broken);
  ASSERT_TRUE(link->SendAndWait(kCommandChannel, Request(7, GET_INFO_F3, {1})));
  EXPECT_EQ(sink.Last()[0], 6);
  EXPECT_EQ(sink.Last()[1], GET_INFO_F3);

  sim.ClearFaults();
  EXPECT_TRUE(link->SendAndWait(kCommandChannel, Request(7, TOUCH_SETTINGS, {1})));
  const auto unknown = Request(7, 0x99, {1});
  EXPECT_FALSE(link->SendAndWait(kCommandChannel, unknown));
  EXPECT_TRUE(sim.Events()
                  .WaitFor(
                      [](const SimEvent& e) {
                        return e.kind == SimEvent::Kind::Note &&
                               e.text.find("0x99") != std::string::npos;
                      },
                      mark, 5s)
                  .has_value());
  // Last: an unsolicited frame would end any wait that is still open.
  ASSERT_TRUE(sim.SendFrame(6, CAL_RAW_POINT, std::vector<uint8_t>{7, 1, 0, 2, 0}));
  EXPECT_TRUE(sink.WaitForCount(6, CAL_RAW_POINT, 1));
}

}  // namespace
}  // namespace orvelle
