#include "console/core/info_page.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
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

// A GET_LAYOUT answer: sub 1, count A, 14 values A, count B, 26 values B.
Bytes Layout(int8_t countA, Bytes a, int8_t countB, Bytes b) {
  a.resize(14, 0), b.resize(26, 0);
  a.insert(a.begin(), {1, static_cast<uint8_t>(countA)});
  a.push_back(static_cast<uint8_t>(countB));
  a.insert(a.end(), b.begin(), b.end());
  return Answer(GET_LAYOUT, a);
}

InfoPageState Shown(int countA, std::string listA, int countB, std::string listB) {
  InfoPageState s;
  s.countA = countA, s.listA = std::move(listA), s.countB = countB, s.listB = std::move(listB);
  return s;
}
// After the transfer identity that makes the answers count.
InfoPageState Identified(std::string model, int infoValue) {
  InfoPageState s;
  s.modelText = std::move(model), s.infoValue = infoValue, s.identity4 = "UartTrans IR frame";
  return s;
}

TEST(InfoExchange, ShowsWhatTheAnswersSay) {
  const Bytes uart = Answer(GET_INFO_F5, Text("UartTrans IR frame", 56));
  Bytes length42 = Layout(1, {1}, 1, {1}), sub2 = length42, unknown = length42;
  length42[2] = 42;
  sub2[3] = 2;
  unknown[1] = 0x33;
  const std::string ones = "1+1+1+1+1+1+1+1+1+1+1+1+1+1", nines = "9+9+9+0+0+0+0+0+0+0+0+0+0+0";
  const std::string twos = "2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2+2";
  const Bytes modelWithZero = {1, 'O', 'V', 'T', 0, 'X', 'Y', 'Z', 'W'};
  Bytes calibrationModel = Answer(GET_MODEL, Text("OVT", 8)), calibrationUart = uart;
  calibrationModel[0] = calibrationUart[0] = kCalibrationReportId;
  // Whether an answer that counts arrived, and the state after End().
  const std::tuple<const char*, std::vector<Bytes>, bool, InfoPageState> cases[] = {
      {"layout", {Layout(3, {12, 12, 13}, 2, {0xFC, 7})}, true, Shown(3, "12+12+13", 2, "-4+7")},
      {"zero and negative counts", {Layout(0, {5}, -3, {5})}, true, Shown(0, "", -3, "")},
      {"counts above lists",
       {Layout(127, Bytes(14, 1), 100, Bytes(26, 2))},
       true,
       Shown(14, ones, 26, twos)},
      {"cut short",
       {{kCommandReportId, GET_LAYOUT, 43, 1, 14, 9, 9, 9}},
       true,
       Shown(14, nines, 0, "")},
      {"8-character model",
       {Answer(GET_MODEL, Text("ABCDEFGHIJ", 8)), uart},
       true,
       Identified("ABCDEFGH", 0)},
      {"model ends at zero", {Answer(GET_MODEL, modelWithZero), uart}, true, Identified("OVT", 0)},
      {"lower-case transfer text",
       {Answer(GET_MODEL, Text("OVT", 8)), Answer(GET_INFO_F5, Text("uarttrans", 56)),
        Answer(INFO_01, {1, 0, 0xFE})},
       false,
       InfoPageState{}},
      {"info signed", {Answer(INFO_01, {1, 0x55, 0xFE}), uart}, true, Identified("N/A", -2)},
      {"wrong length or sub-function",
       {length42, sub2, Answer(GET_MODEL, Text("OVT", 7)), uart},
       true,
       Identified("N/A", 0)},
      {"unknown code", {unknown}, false, InfoPageState{}},
      {"calibration report ID", {calibrationModel, calibrationUart}, false, InfoPageState{}},
  };
  for (const auto& [name, frames, valid, expected] : cases) {
    SCOPED_TRACE(name);
    InfoExchange exchange;
    exchange.Begin();
    for (const Bytes& frame : frames)
      exchange.HandleFrame(frame);
    EXPECT_EQ(exchange.AnswersValid(), valid);
    exchange.End();
    EXPECT_EQ(exchange.State(), expected);
  }
}

TEST(InfoExchange, EachRefreshStartsOverButKeepsWhatWasShown) {
  InfoExchange exchange;
  exchange.Begin();
  exchange.HandleFrame(Layout(1, {4}, 1, {5}));
  exchange.End();
  exchange.Begin();
  EXPECT_FALSE(exchange.AnswersValid());
  EXPECT_EQ(exchange.State().listA, "4");
  exchange.End();  // nothing came this time
  EXPECT_EQ(exchange.State(), InfoPageState{});
}

}  // namespace
}  // namespace orvelle::console
