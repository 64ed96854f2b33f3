#include <gtest/gtest.h>

#include "devlink/protocol.h"
#include "devlink/recognise.h"
#include "model_helpers.h"
#include "sim/fault_rules.h"

namespace orvelle {
namespace {

TEST(SimFaultRules, CommandNamesAndNumbersParse) {
  EXPECT_EQ(ParseCommandKey("CAL_BEGIN"), (CommandKey{6, CAL_BEGIN}));
  EXPECT_EQ(ParseCommandKey("cfg_12"), (CommandKey{7, CFG_12}));
  EXPECT_EQ(ParseCommandKey("7:0x99"), (CommandKey{7, 0x99}));
  EXPECT_EQ(CommandKeyName({7, 0x99}), "7:0x99");
  EXPECT_FALSE(ParseCommandKey("CFG_99").has_value());
  EXPECT_FALSE(ParseCommandKey("7:0x100").has_value());
}

TEST(SimFaultRules, MalformedAnswersFailEveryRecogniserOrChangeCollection) {
  ControllerModel model;
  for (const auto& request :
       {testing::Request(7, GET_MODEL, {1}), testing::Request(6, CAL_GET_MODE, {})}) {
    const std::vector<uint8_t> answer = model.Handle(request).answer;
    for (MalformKind kind : {MalformKind::Terminator, MalformKind::Length}) {
      const auto broken = Malform(answer, kind);
      EXPECT_EQ(broken.size(), answer.size());
      for (Recogniser r : {Recogniser::Console, Recogniser::Calibration, Recogniser::Factory}) {
        EXPECT_FALSE(IsAnswerFrame(r, broken));
      }
    }
    const bool wasCommand = answer[0] == kCommandReportId;
    const auto moved = Malform(answer, MalformKind::ReportId);
    EXPECT_EQ(moved.size(), wasCommand ? kCalibrationFrameLength : kCommandFrameLength);
    EXPECT_EQ(moved[0], wasCommand ? kCalibrationReportId : kCommandReportId);
    EXPECT_EQ(moved[1], answer[1]);
  }
}

}  // namespace
}  // namespace orvelle
