#include "console/core/info_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvelle::console {
namespace {

using Bytes = std::vector<uint8_t>;

// A command answer: report ID, code, payload length, payload (sub-function
// first), terminator, zero-padded to 64 bytes unless `size` cuts it.
Bytes Answer(uint8_t code, uint8_t length, Bytes payload, size_t size = 64) {
  Bytes frame = {kCommandReportId, code, length};
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(0xFF);
  frame.resize(size, 0);
  return frame;
}

Bytes Text(const std::string& text, size_t field) {
  Bytes bytes(text.begin(), text.end());
  bytes.resize(field, 0);
  return bytes;
}

// GET_LAYOUT payload: sub 1, count A, 14 values A, count B, 26 values B.
Bytes Layout(int8_t countA, Bytes a, int8_t countB, Bytes b) {
  Bytes payload = {1, static_cast<uint8_t>(countA)};
  a.resize(14, 0);
  payload.insert(payload.end(), a.begin(), a.end());
  payload.push_back(static_cast<uint8_t>(countB));
  b.resize(26, 0);
  payload.insert(payload.end(), b.begin(), b.end());
  return payload;
}

Bytes WithSub(Bytes payload, uint8_t sub) {
  payload[0] = sub;
  return payload;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Case {
  const char* name;
  std::vector<Bytes> frames;
  bool valid;               // an answer that counts arrived
  InfoPageState expected;   // after End()
};

InfoPageState With(void (*change)(InfoPageState&)) {
  InfoPageState s;
  change(s);
  return s;
}

const Bytes kUart = Answer(GET_INFO_F5, 57, Concat({1}, Text("UartTrans IR frame", 56)));

class InfoExchangeTest : public ::testing::TestWithParam<Case> {};

TEST_P(InfoExchangeTest, ShowsWhatTheAnswersSay) {
  const Case& c = GetParam();
  InfoExchange exchange;
  exchange.Begin();
  for (const Bytes& frame : c.frames)
    exchange.HandleFrame(frame);
  EXPECT_EQ(exchange.AnswersValid(), c.valid);
  exchange.End();
  const InfoPageState& s = exchange.State();
  EXPECT_EQ(s.countA, c.expected.countA);
  EXPECT_EQ(s.listA, c.expected.listA);
  EXPECT_EQ(s.countB, c.expected.countB);
  EXPECT_EQ(s.listB, c.expected.listB);
  EXPECT_EQ(s.modelText, c.expected.modelText);
  EXPECT_EQ(s.identity4, c.expected.identity4);
  EXPECT_EQ(s.infoValue, c.expected.infoValue);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, InfoExchangeTest,
    ::testing::Values(
        Case{"LayoutExample",
             {Answer(GET_LAYOUT, 43, Layout(3, {12, 12, 13}, 2, {0xFC, 7}))},
             true,
             With([](InfoPageState& s) {
               s.countA = 3, s.listA = "12+12+13", s.countB = 2, s.listB = "-4+7";
             })},
        Case{"ZeroAndNegativeCountsGiveEmptyLists",
             {Answer(GET_LAYOUT, 43, Layout(0, {5}, -3, {5}))},
             true,
             With([](InfoPageState& s) { s.countA = 0, s.listA = "", s.countB = -3, s.listB = ""; })},
        Case{"CountsAboveTheListsAreCut",
             {Answer(GET_LAYOUT, 43, Layout(127, Bytes(14, 1), 100, Bytes(26, 2)))},
             true,
             With([](InfoPageState& s) {
               s.countA = 14, s.listA = "1+1+1+1+1+1+1+1+1+1+1+1+1+1", s.countB = 26;
               s.listB = "2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2";
             })},
        Case{"LayoutCutShortReadsNothingPastTheFrame",
             {Answer(GET_LAYOUT, 43, Layout(14, Bytes(14, 9), 26, Bytes(26, 9)), 8)},
             true,
             With([](InfoPageState& s) {
               s.countA = 14, s.listA = "9+9+9+0+0+0+0+0+0+0+0+0+0+0", s.countB = 0, s.listB = "";
             })},
        Case{"EightCharacterModelWithoutZero",
             {Answer(GET_MODEL, 9, Concat({1}, Text("ABCDEFGHIJ", 8))), kUart},
             true,
             With([](InfoPageState& s) {
               s.modelText = "ABCDEFGH", s.identity4 = "UartTrans IR frame";
             })},
        Case{"ModelEndsAtItsFirstZero",
             {Answer(GET_MODEL, 9, {1, 'O', 'V', 'T', 0, 'X', 'Y', 'Z', 'W'}), kUart},
             true,
             With([](InfoPageState& s) { s.modelText = "OVT", s.identity4 = "UartTrans IR frame"; })},
        Case{"LowerCaseTransferTextDoesNotCount",
             {Answer(GET_MODEL, 9, Concat({1}, Text("OVT", 8))),
              Answer(GET_INFO_F5, 57, Concat({1}, Text("uarttrans", 56))),
              Answer(INFO_01, 3, {1, 0, 0xFE})},
             false,
             InfoPageState{}},
        Case{"InfoValueIsSigned",
             {Answer(INFO_01, 3, {1, 0x55, 0xFE}), kUart},
             true,
             With([](InfoPageState& s) { s.infoValue = -2, s.identity4 = "UartTrans IR frame"; })},
        Case{"WrongLengthOrSubFunctionIsIgnored",
             {Answer(GET_LAYOUT, 42, Layout(1, {1}, 1, {1})),
              Answer(GET_LAYOUT, 43, WithSub(Layout(1, {1}, 1, {1}), 2)),
              Answer(GET_MODEL, 8, Concat({1}, Text("OVT", 8))), kUart},
             true,
             With([](InfoPageState& s) { s.identity4 = "UartTrans IR frame"; })},
        Case{"UnknownCodeIsIgnored",
             {Answer(0x33, 43, Layout(1, {1}, 1, {1}))},
             false,
             InfoPageState{}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InfoExchange, EachRefreshStartsOverButKeepsWhatWasShown) {
  InfoExchange exchange;
  exchange.Begin();
  exchange.HandleFrame(Answer(GET_LAYOUT, 43, Layout(1, {4}, 1, {5})));
  exchange.End();
  exchange.Begin();
  EXPECT_FALSE(exchange.AnswersValid());
  EXPECT_EQ(exchange.State().listA, "4");
  exchange.End();  // nothing came this time
  EXPECT_EQ(exchange.State(), InfoPageState{});
}

TEST(InfoExchange, RequestsAreReadsOfTheirCode) {
  const FrameBuffer frame = InfoExchange::Request(GET_INFO_F5);
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 6), (Bytes{7, GET_INFO_F5, 1, 1, 0xFF, 0}));
}

}  // namespace
}  // namespace orvelle::console
