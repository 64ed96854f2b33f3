#include <gtest/gtest.h>

#include <string>

#include "devlink/protocol.h"
#include "model_helpers.h"

namespace orvelle {
namespace {

using testing::AnswerPayload;
using testing::Request;
using Bytes = std::vector<uint8_t>;

Bytes Padded(Bytes bytes, size_t length) {
  bytes.resize(length, 0);
  return bytes;
}

class SimCommandAnswers : public ::testing::Test {
 protected:
  Bytes Ask(uint8_t code, const Bytes& payload) {
    return AnswerPayload(model.Handle(Request(kCommandReportId, code, payload)), kCommandReportId,
                         code);
  }
  ControllerModel model;
};

TEST_F(SimCommandAnswers, RequestsGetTheirAnswers) {
  // The model text fills all eight bytes: no terminating zero.
  model.SetState({.modelText = "ABCDEFGH",
                  .infoF3Text = "F3",
                  .infoF4Text = "F4",
                  .infoF5Text = "F5",
                  .infoValue = -5,
                  .layoutB = std::vector<int8_t>(26, -1)});
  // Frame bytes: 4 count A, 5..18 list A, 19 count B, 20..45 list B.
  Bytes layout = Padded({1, 3, 12, 12, 13}, 16);
  layout.push_back(26);
  layout.resize(43, 0xFF);
  const struct {
    uint8_t code;
    Bytes request;
    Bytes answer;
  } cases[] = {
      {GET_MODEL, {1}, {1, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}},
      {GET_INFO_F3, {1}, Padded({1, 'F', '3'}, 9)},
      {GET_INFO_F4, {1}, Padded({1, 'F', '4'}, 9)},
      {GET_INFO_F5, {1}, Padded({1, 'F', '5'}, 57)},
      {INFO_01, {1}, {1, 0, 0xFB}},
      {GET_LAYOUT, {1}, layout},
      {TOUCH_SETTINGS, {4, 6}, {4, 1}},
      {TOUCH_SETTINGS, {4, 16}, {4, 0}},  // a choice, but above the maximum of 10
      {TOUCH_SETTINGS, {4, 3}, {4, 0}},
      {TOUCH_SETTINGS, {4, 0}, {4, 0}},
      {TOUCH_SETTINGS, {4}, {4, 0}},
      {TOUCH_SETTINGS, {3}, {3, 10, 6}},
      // Sub-functions the command lacks.
      {GET_MODEL, {2, 'X'}, {2, 0}},
      {CFG_RESET, {1}, {1, 0, 0, 0, 0}},
      {CFG_21, {9}, {9, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(CommandName(kCommandReportId, c.code)) + " sub " +
                 std::to_string(c.request[0]));
    EXPECT_EQ(Ask(c.code, c.request), c.answer);
  }
}

// A refused write changes nothing and is answered as a refusing fault rule would.
TEST_F(SimCommandAnswers, WritesAreCheckedStoredAndAnswered) {
  const struct {
    uint8_t code;
    Bytes write;
    size_t answerLength;
    Bytes readBack;  // empty: refused
  } cases[] = {
      {TOUCH_SETTINGS, {2, 1}, 2, {1, 1}},
      {CFG_12, {2, 1, 0, 1}, 2, {1, 1, 0, 1}},
      {CAL_OPTION_13, {2, 4}, 2, {1, 4}},
      {CFG_14, {2, 0, 10, 0x03, 0xE8}, 5, {1, 0, 10, 0x03, 0xE8}},
      {CFG_15, {2, 1, 1, 0x13, 0x88}, 5, {1, 1, 1, 0x13, 0x88}},
      {CFG_16, {2, 0, 20}, 2, {1, 0, 20}},
      {CFG_17, {2, 1, 2, 10, 9}, 2, {1, 1, 2, 10, 9}},
      {CFG_21, {2, 0, 0, 180, 0x07, 0xD0}, 6, {1, 0, 0, 180, 0x07, 0xD0}},
      {TOUCH_SETTINGS, {2, 3}, 2, {}},
      {CFG_12, {2, 1, 2, 0}, 2, {}},
      {CFG_12, {2, 0, 0, 2}, 2, {}},
      {CFG_12, {2, 1, 0}, 2, {}},  // one switch short
      {CAL_OPTION_13, {2, 5}, 2, {}},
      {CFG_14, {2, 1, 5, 0x02, 0xEE}, 5, {}},   // 750: not a multiple of 100
      {CFG_14, {2, 1, 11, 0x01, 0xF4}, 5, {}},  // level 11
      {CFG_15, {2, 1, 5, 0x02, 0xEE}, 5, {}},   // 750: not a multiple of 500
      {CFG_15, {2, 1, 5, 0x13, 0xEC}, 5, {}},   // 5100
      {CFG_16, {2, 1, 21}, 2, {}},
      {CFG_16, {2, 2, 5}, 2, {}},
      {CFG_17, {2, 6, 5, 4, 4}, 2, {}},
      {CFG_17, {2, 5, 5, 11, 4}, 2, {}},
      {CFG_21, {2, 1, 0, 15, 0x01, 0xF4}, 6, {}},  // 15 is not in table A
      {CFG_21, {2, 1, 0, 30, 0x01, 0xF5}, 6, {}},  // 501 is not in table B
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(CommandName(kCommandReportId, c.code)) + " " +
                 std::to_string(c.write[1]));
    const ControllerState before = model.State();
    const bool accepted = !c.readBack.empty();
    const Bytes request = Request(kCommandReportId, c.code, c.write);
    const ModelReply reply = model.Handle(request);
    EXPECT_EQ(reply.stateChanged, accepted);
    EXPECT_EQ(AnswerPayload(reply, kCommandReportId, c.code),
              Padded({2, static_cast<uint8_t>(accepted)}, c.answerLength));
    if (accepted) {
      EXPECT_EQ(Ask(c.code, {1}), c.readBack);
    } else {
      EXPECT_EQ(model.State(), before);
      EXPECT_EQ(model.Refusal(request), reply.answer);  // what a refusing fault rule sends
    }
  }
}

TEST_F(SimCommandAnswers, ResetRestoresTheSettingsButNotIdentityOrCalibration) {
  const CalibrationRecord record{.headerA = 3};
  model.SetState({.modelText = "KEEPME",
                  .touchSetting = 1,
                  .touchCount = 4,
                  .cfg12 = {1, 1, 1},
                  .on14 = 0,
                  .level14 = 9,
                  .value14 = 900,
                  .on15 = 0,
                  .level15 = 9,
                  .value15 = 500,
                  .on16 = 0,
                  .value16 = 9,
                  .cfg17 = {1, 1, 1, 1},
                  .on21 = 0,
                  .periodA21 = 180,
                  .periodB21 = 100,
                  .calOption = 3,
                  .record = record});
  EXPECT_EQ(Ask(CFG_RESET, {2}), (Bytes{2, 1, 0, 0, 0}));
  const ControllerState expected{
      .modelText = "KEEPME", .touchCount = 4, .calOption = 3, .record = record};
  EXPECT_EQ(model.State(), expected);
}

TEST_F(SimCommandAnswers, UnknownCommandsAndBrokenFramesGetNoAnswer) {
  Bytes badTerminator = Request(7, CFG_16, {1});
  badTerminator[4] = 0xFE;
  const struct {
    Bytes request;
    RequestOutcome outcome;
  } cases[] = {
      {Request(7, 0x99, {1}), RequestOutcome::Unknown},
      {Request(6, CAL_RAW_POINT, {7, 0, 0, 0, 0}), RequestOutcome::Unknown},
      {badTerminator, RequestOutcome::Malformed},
      {{7, 0x16, 1}, RequestOutcome::Malformed},
      {{}, RequestOutcome::Ignored},
      {{2, 0x01}, RequestOutcome::Ignored},  // keyboard LEDs
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request.size());
    const ModelReply reply = model.Handle(c.request);
    EXPECT_EQ(reply.outcome, c.outcome);
    EXPECT_TRUE(reply.answer.empty());
    EXPECT_EQ(model.Refusal(c.request).empty(), c.outcome != RequestOutcome::Unknown);
  }
  // The terminator just past the report is never read.
  Bytes pastTheReport = Request(7, CFG_16, {1});
  pastTheReport[2] = 61;
  pastTheReport.push_back(kFrameTerminator);
  EXPECT_EQ(model.Handle(std::span(pastTheReport).first(kCommandFrameLength)).outcome,
            RequestOutcome::Malformed);
}

}  // namespace
}  // namespace orvelle
