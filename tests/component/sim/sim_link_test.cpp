#include <gtest/gtest.h>

#include "devlink/protocol.h"
#include "tests/support/sim_fixture.h"

namespace orvelle {
namespace {

using namespace testing;
using Bytes = std::vector<uint8_t>;

TEST(SimController, EachProgramFindsTheControllerAndExchangesFrames) {
  const struct {
    LinkProfile profile;
    uint8_t vendorOutput;
    bool vendorRow;  // a console table finds no vendor row in a (64, 4) controller
    std::vector<uint8_t> reportIds;
  } programs[] = {
      {LinkProfile::Console(), 8, true, {kCommandReportId, kCalibrationReportId}},
      {LinkProfile::Console(), 4, false, {kCommandReportId}},
      {LinkProfile::Calibration(), 4, true, {kCalibrationReportId}},
      {LinkProfile::Factory(), 4, true, {kCommandReportId}},
  };
  for (const auto& program : programs) {
    SCOPED_TRACE(program.profile.program + " " + std::to_string(program.vendorOutput));
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
      const bool taken = channel != 3 || program.vendorRow;
      EXPECT_EQ(link.DevicePath(channel),
                taken ? sim.Path() + "#col0" + std::to_string(channel + 1) : "");
    }
    for (uint8_t reportId : program.reportIds) {
      const bool calibration = reportId == kCalibrationReportId;
      const uint8_t code = calibration ? uint8_t{CAL_GET_MODE} : uint8_t{GET_MODEL};
      const auto request = Request(reportId, code, calibration ? Bytes{} : Bytes{1});
      ASSERT_TRUE(link.SendAndWait(calibration ? kCalibrationChannel : kCommandChannel, request));
      EXPECT_EQ(sink.Last(), ControllerModel(sim.State()).Handle(request).answer);
    }
  }
}

}  // namespace
}  // namespace orvelle
