#include "console/core/info_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/frames.h"

namespace orvelle::console {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Answer(uint8_t code, const Bytes& payload) {
  return testing::Request(kCommandReportId, code, payload);
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
  const Bytes uart = Answer(GET_INFO_F5, Text("UartTrans IR frame", 56));
  const auto uartOnly = With([](InfoPageState& s) { s.identity4 = "UartTrans IR frame"; });
  Bytes layout42 = Layout(1, {1}, 1, {1}), layoutSub2 = layout42;
  layout42.pop_back();
  layoutSub2[0] = 2;
  const Case cases[] = {
      {"layout",
       {Answer(GET_LAYOUT, Layout(3, {12, 12, 13}, 2, {0xFC, 7}))},
       true,
       With([](InfoPageState& s) {
         s.countA = 3, s.listA = "12+12+13", s.countB = 2, s.listB = "-4+7";
       })},
      {"zero and negative counts",
       {Answer(GET_LAYOUT, Layout(0, {5}, -3, {5}))},
       true,
       With([](InfoPageState& s) { s.countA = 0, s.listA = "", s.countB = -3, s.listB = ""; })},
      {"counts above the lists",
       {Answer(GET_LAYOUT, Layout(127, Bytes(14, 1), 100, Bytes(26, 2)))},
       true,
       With([](InfoPageState& s) {
         s.countA = 14, s.listA = "1+1+1+1+1+1+1+1+1+1+1+1+1+1", s.countB = 26;
         s.listB = "2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2";
       })},
      {"layout cut short",
       {{kCommandReportId, GET_LAYOUT, 43, 1, 14, 9, 9, 9}},
       true,
       With([](InfoPageState& s) {
         s.countA = 14, s.listA = "9+9+9+0+0+0+0+0+0+0+0+0+0+0", s.countB = 0, s.listB = "";
       })},
      {"eight-character model",
       {Answer(GET_MODEL, Text("ABCDEFGHIJ", 8)), uart},
       true,
       With(
           [](InfoPageState& s) { s.modelText = "ABCDEFGH", s.identity4 = "UartTrans IR frame"; })},
      {"model ends at zero",
       {Answer(GET_MODEL, {1, 'O', 'V', 'T', 0, 'X', 'Y', 'Z', 'W'}), uart},
       true,
       With([](InfoPageState& s) { s.modelText = "OVT", s.identity4 = "UartTrans IR frame"; })},
      {"lower-case transfer text",
       {Answer(GET_MODEL, Text("OVT", 8)), Answer(GET_INFO_F5, Text("uarttrans", 56)),
        Answer(INFO_01, {1, 0, 0xFE})},
       false,
       InfoPageState{}},
      {"info signed", {Answer(INFO_01, {1, 0x55, 0xFE}), uart}, true, With([](InfoPageState& s) {
         s.infoValue = -2, s.identity4 = "UartTrans IR frame";
       })},
      {"wrong length or sub-function",
       {Answer(GET_LAYOUT, layout42), Answer(GET_LAYOUT, layoutSub2),
        Answer(GET_MODEL, Text("OVT", 7)), uart},
       true,
       uartOnly},
      {"unknown code", {Answer(0x33, Layout(1, {1}, 1, {1}))}, false, InfoPageState{}},
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
  exchange.HandleFrame(Answer(GET_LAYOUT, Layout(1, {4}, 1, {5})));
  exchange.End();
  exchange.Begin();
  EXPECT_FALSE(exchange.AnswersValid());
  EXPECT_EQ(exchange.State().listA, "4");
  exchange.End();  // nothing came this time
  EXPECT_EQ(exchange.State(), InfoPageState{});
}

}  // namespace
}  // namespace orvelle::console
