#include <gtest/gtest.h>

#include <cstdlib>

#include "devlink/protocol.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/wait_until.h"

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
    // Everything the controller sends, whoever asked for it.
    link->TakeUnasked([](std::span<const uint8_t>) { return true; });
    EXPECT_TRUE(link->Open());
    return link;
  }

  TempFolder folder;
  SimulatedController sim{ControllerIn(folder)};
};

// bench/sim measures the rate; this checks that nothing is lost at 1,000 a second.
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
  ASSERT_TRUE(WaitUntil([&] { return sim.OpenCount() >= 1; }));
  sim.Touch(TouchStream{{2048, 1024}, 3, 0, 0});
  Event stop;
  std::array<uint8_t, 1024> buffer{};
  for (int i = 0; i < 4; ++i) {
    const ReadResult r = digitizer->Read(buffer, stop);
    ASSERT_EQ(r.status, ReadStatus::Data);
    ASSERT_EQ(r.count, 62u);
    // Three touching reports, then the lift; x 2048, y 1024, one contact.
    const uint8_t tip = i < 3 ? 0x03 : 0x00;
    EXPECT_EQ((std::vector<uint8_t>{buffer[0], buffer[1], buffer[3], buffer[4], buffer[5],
                                    buffer[6], buffer[61]}),
              (std::vector<uint8_t>{1, tip, 0x00, 0x08, 0x00, 0x04, 1}));
  }
}

// In order: a `once` rule holds for one request, an `always` rule stays.
TEST_F(SimTouches, FaultRulesShapeTheAnswers) {
  RecordingSink sink;
  auto link = OpenLink(LinkProfile::Console(), sink, 300ms);
  const auto write12 = Request(7, CFG_12, {2, 1, 1, 1});
  const auto touch = Request(7, TOUCH_SETTINGS, {2, 1});
  const struct {
    std::vector<uint8_t> request;
    std::optional<FaultRule> rule;
    std::vector<uint8_t> answer;  // its first bytes; empty: the wait runs out
  } cases[] = {
      {write12, FaultRule{FaultKind::Refuse, true}, {7, CFG_12, 2, 2, 0}},
      {write12, {}, {7, CFG_12, 2, 2, 1}},
      {touch, FaultRule{FaultKind::Silent}, {}},
      {touch, {}, {}},
      {Request(7, GET_MODEL, {1}), FaultRule{FaultKind::Delay, true, 100ms}, {7, GET_MODEL, 9}},
      {Request(6, CAL_GET_MODE, {}), FaultRule{FaultKind::Malformed}, {}},
      // The other report ID arrives on the other channel: it answers nothing.
      {Request(7, GET_INFO_F3, {1}),
       FaultRule{FaultKind::Malformed, true, 0ms, MalformKind::ReportId},
       {}},
      {Request(7, 0x99, {1}), {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(CommandKeyName({c.request[0], c.request[1]}));
    if (c.rule) sim.SetFault({c.request[0], c.request[1]}, *c.rule);
    const uint64_t mark = sim.Events().LastSeq();
    const int channel = c.request[0] == 6 ? kCalibrationChannel : kCommandChannel;
    EXPECT_EQ(link->SendAndWait(channel, c.request), !c.answer.empty());
    const auto last = sink.Last();
    if (!c.answer.empty()) {
      EXPECT_EQ(std::vector<uint8_t>(last.begin(), last.begin() + c.answer.size()), c.answer);
    }
    const auto out = [](const SimEvent& e) { return e.kind == SimEvent::Kind::Out; };
    EXPECT_LE(sim.Events().Count(out, mark), 1u);
  }
  EXPECT_EQ(sim.State().touchSetting, 2) << "a lost request changes nothing";
  const auto unknownNoted = [](const SimEvent& e) {
    return e.kind == SimEvent::Kind::Note && e.text.find("0x99") != std::string::npos;
  };
  EXPECT_TRUE(sim.Events().WaitFor(unknownNoted, 0, 5s).has_value());
  // Last: an unsolicited frame reaches a program that takes them.
  ASSERT_TRUE(sim.SendFrame(6, CAL_RAW_POINT, std::vector<uint8_t>{7, 1, 0, 2, 0}));
  EXPECT_TRUE(sink.WaitForCount(6, CAL_RAW_POINT, 1));
}

}  // namespace
}  // namespace orvelle
