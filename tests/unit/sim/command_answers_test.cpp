#include <gtest/gtest.h>

#include <string>

#include "devlink/catalogue.h"
#include "model_helpers.h"

namespace orvelle {
namespace {

using testing::AnswerPayload;
using testing::Command;
using Bytes = std::vector<uint8_t>;

class SimCommandAnswers : public ::testing::Test {
 protected:
  Bytes Ask(uint8_t code, std::initializer_list<uint8_t> payload) {
    return AnswerPayload(model.Handle(Command(code, payload)), kCommandReportId, code);
  }
  ControllerModel model;
};

TEST_F(SimCommandAnswers, IdentityTextsFillTheirFields) {
  ControllerState s;
  s.modelText = "ABCDEFGH";  // all eight bytes, no terminating zero
  s.infoF3Text = "F3";
  model.SetState(s);

  const Bytes modelText = Ask(GET_MODEL, {1});
  ASSERT_EQ(modelText.size(), 9u);
  EXPECT_EQ(std::string(modelText.begin() + 1, modelText.end()), "ABCDEFGH");

  const Bytes f3 = Ask(GET_INFO_F3, {1});
  ASSERT_EQ(f3.size(), 9u);
  EXPECT_EQ(FrameText(f3, 1, 8), "F3");
  EXPECT_EQ(Ask(GET_INFO_F4, {1}).size(), 9u);

  const Bytes f5 = Ask(GET_INFO_F5, {1});
  ASSERT_EQ(f5.size(), 57u);
  EXPECT_EQ(f5[0], 1);
  EXPECT_EQ(FrameText(f5, 1, 56).rfind("UartTrans", 0), 0u);
}

TEST_F(SimCommandAnswers, InfoAndLayoutCarrySignedValuesAtTheirOffsets) {
  ControllerState s;
  s.infoValue = -5;
  s.layoutA = {12, 12, 13};
  s.layoutB = std::vector<int8_t>(26, -1);
  model.SetState(s);

  EXPECT_EQ(Ask(INFO_01, {1}), (Bytes{1, 0, 0xFB}));

  // Frame bytes: 4 count A, 5..18 list A, 19 count B, 20..45 list B.
  const Bytes layout = Ask(GET_LAYOUT, {1});
  ASSERT_EQ(layout.size(), 43u);
  EXPECT_EQ(layout[1], 3);
  EXPECT_EQ((Bytes(layout.begin() + 2, layout.begin() + 5)), (Bytes{12, 12, 13}));
  EXPECT_EQ(layout[5], 0);
  EXPECT_EQ(layout[16], 26);
  EXPECT_EQ(layout[17], 0xFF);
  EXPECT_EQ(layout[42], 0xFF);
}

struct WriteCase {
  uint8_t code;
  std::vector<uint8_t> write;  // {2, data...}
  size_t answerLength;
  std::vector<uint8_t> readBack;  // empty: not readable with {1}
};

// Each accepted write answers {2, 1} with the command's own length and is what
// the next read returns.
TEST_F(SimCommandAnswers, AcceptedWritesAreStoredAndAnsweredWithTheirLength) {
  const std::vector<WriteCase> cases = {
      {TOUCH_SETTINGS, {2, 1}, 2, {1, 1}},
      {CFG_12, {2, 1, 0, 1}, 2, {1, 1, 0, 1}},
      {CAL_OPTION_13, {2, 4}, 2, {1, 4}},
      {CFG_14, {2, 0, 10, 0x03, 0xE8}, 5, {1, 0, 10, 0x03, 0xE8}},
      {CFG_15, {2, 1, 1, 0x13, 0x88}, 5, {1, 1, 1, 0x13, 0x88}},
      {CFG_16, {2, 0, 20}, 2, {1, 0, 20}},
      {CFG_17, {2, 1, 2, 10, 9}, 2, {1, 1, 2, 10, 9}},
      {CFG_21, {2, 0, 0, 180, 0x07, 0xD0}, 6, {1, 0, 0, 180, 0x07, 0xD0}},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(CommandName(kCommandReportId, c.code));
    FrameBuffer frame;
    BuildFrame(frame, kCommandReportId, c.code, c.write);
    const ModelReply reply = model.Handle(frame);
    EXPECT_TRUE(reply.stateChanged);
    const Bytes ack = AnswerPayload(reply, kCommandReportId, c.code);
    ASSERT_EQ(ack.size(), c.answerLength);
    EXPECT_EQ(ack[0], 2);
    EXPECT_EQ(ack[1], 1);
    EXPECT_EQ(Ask(c.code, {1}), c.readBack);
  }
}

// Values the console would not take on reading, and wrong lengths, are refused
// with {2, 0} and change nothing.
TEST_F(SimCommandAnswers, OutOfRangeWritesAreRefusedAndChangeNothing) {
  const std::vector<WriteCase> cases = {
      {TOUCH_SETTINGS, {2, 3}, 2, {}},
      {CFG_12, {2, 1, 2, 0}, 2, {}},
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
  const ControllerState before = model.State();
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(std::string(CommandName(kCommandReportId, c.code)) +
                 " payload byte 1 = " + std::to_string(c.write[1]));
    FrameBuffer frame;
    BuildFrame(frame, kCommandReportId, c.code, c.write);
    const ModelReply reply = model.Handle(frame);
    EXPECT_FALSE(reply.stateChanged);
    const Bytes ack = AnswerPayload(reply, kCommandReportId, c.code);
    ASSERT_EQ(ack.size(), c.answerLength);
    EXPECT_EQ(ack[0], 2);
    EXPECT_EQ(ack[1], 0);
  }
  EXPECT_EQ(model.State(), before);
}

TEST_F(SimCommandAnswers, TouchCountIsLimitedToTheChoicesAndTheMaximum) {
  EXPECT_EQ(Ask(TOUCH_SETTINGS, {4, 6}), (Bytes{4, 1}));
  EXPECT_EQ(Ask(TOUCH_SETTINGS, {3}), (Bytes{3, 10, 6}));
  EXPECT_EQ(Ask(TOUCH_SETTINGS, {4, 16}), (Bytes{4, 0}));  // above the maximum of 10
  EXPECT_EQ(Ask(TOUCH_SETTINGS, {4, 3}), (Bytes{4, 0}));   // not a choice
  EXPECT_EQ(Ask(TOUCH_SETTINGS, {4, 0}), (Bytes{4, 0}));
  EXPECT_EQ(model.State().touchCount, 6);
}

TEST_F(SimCommandAnswers, ResetRestoresTheSettingsButNotIdentityOrCalibration) {
  ControllerState changed;
  changed.modelText = "KEEPME";
  changed.calOption = 3;
  changed.touchCount = 4;
  changed.level15 = 9;
  changed.cfg12 = {1, 1, 1};
  changed.periodA21 = 180;
  model.SetState(changed);

  const Bytes ack = Ask(CFG_RESET, {2});
  EXPECT_EQ(ack, (Bytes{2, 1, 0, 0, 0}));
  EXPECT_EQ(Ask(CFG_15, {1}), (Bytes{1, 1, 5, 0x0B, 0xB8}));
  EXPECT_EQ(Ask(CFG_12, {1}), (Bytes{1, 0, 0, 0}));
  EXPECT_EQ(model.State().periodA21, 30);
  EXPECT_EQ(model.State().modelText, "KEEPME");
  EXPECT_EQ(model.State().calOption, 3);
  EXPECT_EQ(model.State().touchCount, 4);
}

TEST_F(SimCommandAnswers, UnknownCommandsAndBrokenFramesGetNoAnswer) {
  const ModelReply unknown = model.Handle(Command(0x99, {1}));
  EXPECT_EQ(unknown.outcome, RequestOutcome::Unknown);
  EXPECT_TRUE(unknown.answer.empty());
  EXPECT_NE(unknown.note.find("0x99"), std::string::npos);

  Bytes badTerminator = Command(CFG_16, {1});
  badTerminator[4] = 0xFE;
  EXPECT_EQ(model.Handle(badTerminator).outcome, RequestOutcome::Malformed);

  Bytes lengthPastTheReport = Command(CFG_16, {1});
  lengthPastTheReport[2] = 61;  // the terminator would lie at byte 64
  EXPECT_EQ(model.Handle(lengthPastTheReport).outcome, RequestOutcome::Malformed);

  const Bytes shortReport = {7, 0x16, 1};
  EXPECT_EQ(model.Handle(shortReport).outcome, RequestOutcome::Malformed);
  EXPECT_EQ(model.Handle(Bytes{}).outcome, RequestOutcome::Ignored);

  const Bytes keyboardLeds = {2, 0x01};
  const ModelReply leds = model.Handle(keyboardLeds);
  EXPECT_EQ(leds.outcome, RequestOutcome::Ignored);
  EXPECT_TRUE(leds.answer.empty());
}

TEST_F(SimCommandAnswers, KnownCommandsRefuseSubFunctionsTheyLack) {
  EXPECT_EQ(Ask(GET_MODEL, {2, 'X'}), (Bytes{2, 0}));
  EXPECT_EQ(Ask(CFG_RESET, {1}), (Bytes{1, 0, 0, 0, 0}));
  EXPECT_EQ(Ask(CFG_21, {9}), (Bytes{9, 0, 0, 0, 0, 0}));
}

TEST_F(SimCommandAnswers, RefusalUsesTheWriteAnswerLength) {
  const ControllerModel fresh;
  const auto refused = [&](const Bytes& request) {
    ModelReply reply;
    reply.outcome = RequestOutcome::Answered;
    reply.answer = fresh.Refusal(request);
    return reply;
  };
  EXPECT_EQ(AnswerPayload(refused(Command(CFG_14, {2, 1, 5, 1, 0xF4})), kCommandReportId, CFG_14),
            (Bytes{2, 0, 0, 0, 0}));
  EXPECT_EQ(
      AnswerPayload(refused(Command(TOUCH_SETTINGS, {4, 2})), kCommandReportId, TOUCH_SETTINGS),
      (Bytes{4, 0}));
  EXPECT_EQ(AnswerPayload(refused(Command(GET_LAYOUT, {1})), kCommandReportId, GET_LAYOUT),
            (Bytes{1, 0}));
  EXPECT_TRUE(fresh.Refusal(Bytes{7, 1}).empty());
}

}  // namespace
}  // namespace orvelle
