// The three programs' links against the simulated controller over the real
// transport: discovery through the descriptor, every request of the catalogue,
// and the state file.
#include <gtest/gtest.h>

#include <fstream>

#include "devlink/catalogue.h"
#include "tests/support/sim_fixture.h"

namespace orvelle {
namespace {

using namespace testing;

struct Exchange {
  uint8_t reportId;
  uint8_t code;
  std::vector<uint8_t> payload;
  uint8_t answerLength;
  uint8_t firstAnswerByte;
};

std::vector<uint8_t> NinePointPayload() {
  std::vector<uint8_t> p;
  for (int j = 0; j < 9; ++j) {
    const RawPoint t = NominalTarget(j);
    for (uint16_t v : {t.x, t.y}) {
      p.push_back(static_cast<uint8_t>(v & 0xFF));
      p.push_back(static_cast<uint8_t>(v >> 8));
    }
  }
  return p;
}

// What each program sends, with the answer length and first payload byte it
// gets back from a controller in its default state.
const std::vector<Exchange>& ConsoleRequests() {
  static const std::vector<Exchange> kRequests = {
      {7, GET_MODEL, {1}, 9, 1},
      {7, GET_INFO_F3, {1}, 9, 1},
      {7, GET_INFO_F4, {1}, 9, 1},
      {7, GET_INFO_F5, {1}, 57, 1},
      {7, INFO_01, {1}, 3, 1},
      {7, GET_LAYOUT, {1}, 43, 1},
      {7, TOUCH_SETTINGS, {1}, 2, 1},
      {7, TOUCH_SETTINGS, {2, 1}, 2, 2},
      {7, CFG_12, {1}, 4, 1},
      {7, CFG_12, {2, 1, 0, 1}, 2, 2},
      {7, CFG_16, {1}, 3, 1},
      {7, CFG_16, {2, 1, 7}, 2, 2},
      {7, CFG_17, {1}, 5, 1},
      {7, CFG_17, {2, 3, 4, 5, 6}, 2, 2},
      {7, CFG_21, {1}, 6, 1},
      {7, CFG_21, {2, 1, 0, 60, 0x03, 0xE8}, 6, 2},
      {7, CFG_15, {1}, 5, 1},
      {7, CFG_15, {2, 1, 7, 0x07, 0xD0}, 5, 2},
      {7, CFG_14, {1}, 5, 1},
      {7, CFG_14, {2, 0, 3, 0x03, 0x20}, 5, 2},
      {7, CFG_RESET, {2}, 5, 2},
      {7, CAL_OPTION_13, {1}, 2, 1},
      {7, CAL_OPTION_13, {2, 2}, 2, 2},
      {6, CAL_GET_MODE, {}, 1, 4},
      {6, CAL_SET_MODE, {3}, 1, 1},
      {6, CAL_READ_DATA, {}, 41, 0},
      {6, CAL_WRITE_DATA, std::vector<uint8_t>(41, 0), 1, 1},
      {6, CAL_RESET, {}, 1, 1},
  };
  return kRequests;
}

const std::vector<Exchange>& CalibrationRequests() {
  static const std::vector<Exchange> kRequests = {
      {6, CAL_GET_MODE, {}, 1, 4},
      {6, CAL_BEGIN, {}, 1, 1},
      {6, CAL_SET_POINTS, NinePointPayload(), 1, 1},
      {6, CAL_END, {1}, 1, 1},
  };
  return kRequests;
}

const std::vector<Exchange>& FactoryRequests() {
  static const std::vector<Exchange> kRequests = {
      {7, GET_MODEL, {1}, 9, 1},
      {7, TOUCH_SETTINGS, {3}, 3, 3},
      {7, TOUCH_SETTINGS, {4, 4}, 2, 4},
  };
  return kRequests;
}

void ExchangeAll(CUSBTransfer& link, RecordingSink& sink, const std::vector<Exchange>& requests) {
  for (const Exchange& e : requests) {
    SCOPED_TRACE(CommandName(e.reportId, e.code));
    const int channel = e.reportId == kCalibrationReportId ? kCalibrationChannel : kCommandChannel;
    ASSERT_TRUE(link.SendAndWait(channel, Request(e.reportId, e.code, e.payload)));
    const std::vector<uint8_t> answer = sink.Last();
    ASSERT_GE(answer.size(), 5u);
    EXPECT_EQ(answer[0], e.reportId);
    EXPECT_EQ(answer[1], e.code);
    EXPECT_EQ(answer[2], e.answerLength);
    EXPECT_EQ(answer[3], e.firstAnswerByte);
  }
}

struct ProgramCase {
  LinkProfile profile;
  uint8_t vendorOutput;
  const std::vector<Exchange>& requests;
};

TEST(SimController, EachProgramFindsTheControllerAndExchangesItsRequests) {
  const std::vector<ProgramCase> programs = {
      {LinkProfile::Console(), 8, ConsoleRequests()},
      {LinkProfile::Calibration(), 4, CalibrationRequests()},
      {LinkProfile::Factory(), 4, FactoryRequests()},
  };
  for (const ProgramCase& program : programs) {
    SCOPED_TRACE(program.profile.program);
    TempFolder folder;
    SimulatedController sim(ControllerIn(folder, program.vendorOutput));
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    RecordingSink sink;
    CUSBTransfer link(Quick(program.profile), SimOnlyBus(folder.Path()));
    link.SetOwner(&sink);
    ASSERT_TRUE(link.Open());
    EXPECT_EQ(link.AcceptedCount(), 6);
    for (int channel = 0; channel < kChannelCount; ++channel) {
      EXPECT_EQ(link.DevicePath(channel), sim.Path() + "#col0" + std::to_string(channel + 1));
    }
    ExchangeAll(link, sink, program.requests);
  }
}

TEST(SimController, ConsoleDoesNotTakeTheVendorCollectionOfTheOtherVariant) {
  TempFolder folder;
  SimulatedController sim(ControllerIn(folder, 4));
  std::string error;
  ASSERT_TRUE(sim.Start(error)) << error;
  CUSBTransfer link(Quick(LinkProfile::Console()), SimOnlyBus(folder.Path()));
  ASSERT_TRUE(link.Open());
  EXPECT_EQ(link.AcceptedCount(), 6);
  EXPECT_TRUE(link.DevicePath(3).empty());
  EXPECT_FALSE(link.DevicePath(5).empty());
}

TEST(SimController, StateFileKeepsWhatTheProgramsWrote) {
  TempFolder folder;
  SimControllerOptions options = ControllerIn(folder);
  options.stateFile = folder.File("state.txt");
  std::string error;
  {
    SimulatedController sim(options);
    ASSERT_TRUE(sim.Start(error)) << error;
    RecordingSink sink;
    CUSBTransfer link(Quick(LinkProfile::Factory()), SimOnlyBus(folder.Path()));
    link.SetOwner(&sink);
    ASSERT_TRUE(link.Open());
    ASSERT_TRUE(link.SendAndWait(kCommandChannel, Request(7, TOUCH_SETTINGS, {4, 4})));
    EXPECT_EQ(sink.Last()[4], 1);
  }
  {
    SimulatedController sim(options);
    ASSERT_TRUE(sim.Start(error)) << error;
    EXPECT_EQ(sim.State().touchCount, 4);
  }
  // A damaged file stops the controller from starting and is left as it was.
  std::ofstream(options.stateFile) << "touch_limits=10,3\n";
  SimulatedController damaged(options);
  EXPECT_FALSE(damaged.Start(error));
  EXPECT_NE(error.find("touch_count"), std::string::npos) << error;
  EXPECT_FALSE(damaged.IsPlugged());
  std::ifstream in(options.stateFile);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "touch_limits=10,3\n");
}

}  // namespace
}  // namespace orvelle
