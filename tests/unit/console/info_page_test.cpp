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

// A text answer's payload: sub-function 1, then the text in its field.
Bytes Text(const std::string& text, size_t field) {
  Bytes bytes = {1};
  bytes.insert(bytes.end(), text.begin(), text.end());
  bytes.resize(field + 1, 0);
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

InfoPageState With(void (*change)(InfoPageState&)) {
  InfoPageState s;
  change(s);
  return s;
}

TEST(InfoExchange, ShowsWhatTheAnswersSay) {
  struct Case {
    const char* name;
    std::vector<Bytes> frames;
    bool valid;              // an answer that counts arrived
    InfoPageState expected;  // after End()
  };
  const Bytes uart = Answer(GET_INFO_F5, 57, Text("UartTrans IR frame", 56));
  const Case cases[] = {
      {"LayoutExample",
       {Answer(GET_LAYOUT, 43, Layout(3, {12, 12, 13}, 2, {0xFC, 7}))},
       true,
       With([](InfoPageState& s) {
         s.countA = 3, s.listA = "12+12+13", s.countB = 2, s.listB = "-4+7";
       })},
      {"ZeroAndNegativeCountsGiveEmptyLists",
       {Answer(GET_LAYOUT, 43, Layout(0, {5}, -3, {5}))},
       true,
       With([](InfoPageState& s) { s.countA = 0, s.listA = "", s.countB = -3, s.listB = ""; })},
      {"CountsAboveTheListsAreCut",
       {Answer(GET_LAYOUT, 43, Layout(127, Bytes(14, 1), 100, Bytes(26, 2)))},
       true,
       With([](InfoPageState& s) {
         s.countA = 14, s.listA = "1+1+1+1+1+1+1+1+1+1+1+1+1+1", s.countB = 26;
         s.listB = "2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2";
       })},
      {"LayoutCutShortReadsNothingPastTheFrame",
       {Answer(GET_LAYOUT, 43, Layout(14, Bytes(14, 9), 26, Bytes(26, 9)), 8)},
       true,
       With([](InfoPageState& s) {
         s.countA = 14, s.listA = "9+9+9+0+0+0+0+0+0+0+0+0+0+0", s.countB = 0, s.listB = "";
       })},
      {"EightCharacterModelWithoutZero",
       {Answer(GET_MODEL, 9, Text("ABCDEFGHIJ", 8)), uart},
       true,
       With(
           [](InfoPageState& s) { s.modelText = "ABCDEFGH", s.identity4 = "UartTrans IR frame"; })},
      {"ModelEndsAtItsFirstZero",
       {Answer(GET_MODEL, 9, {1, 'O', 'V', 'T', 0, 'X', 'Y', 'Z', 'W'}), uart},
       true,
       With([](InfoPageState& s) { s.modelText = "OVT", s.identity4 = "UartTrans IR frame"; })},
      {"LowerCaseTransferTextDoesNotCount",
       {Answer(GET_MODEL, 9, Text("OVT", 8)), Answer(GET_INFO_F5, 57, Text("uarttrans", 56)),
        Answer(INFO_01, 3, {1, 0, 0xFE})},
       false,
       InfoPageState{}},
      {"InfoValueIsSigned",
       {Answer(INFO_01, 3, {1, 0x55, 0xFE}), uart},
       true,
       With([](InfoPageState& s) { s.infoValue = -2, s.identity4 = "UartTrans IR frame"; })},
      {"WrongLengthOrSubFunctionIsIgnored",
       {Answer(GET_LAYOUT, 42, Layout(1, {1}, 1, {1})),
        Answer(GET_LAYOUT, 43, WithSub(Layout(1, {1}, 1, {1}), 2)),
        Answer(GET_MODEL, 8, Text("OVT", 8)), uart},
       true,
       With([](InfoPageState& s) { s.identity4 = "UartTrans IR frame"; })},
      {"UnknownCodeIsIgnored", {Answer(0x33, 43, Layout(1, {1}, 1, {1}))}, false, InfoPageState{}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InfoExchange exchange;
    exchange.Begin();
    for (const Bytes& frame : c.frames)
      exchange.HandleFrame(frame);
    EXPECT_EQ(exchange.AnswersValid(), c.valid);
    exchange.End();
    EXPECT_EQ(exchange.State(), c.expected);
  }
}

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

}  // namespace
}  // namespace orvelle::console
