#include <gtest/gtest.h>

#include <vector>

#include "devlink/frame.h"
#include "devlink/protocol.h"
#include "devlink/recognise.h"

namespace orvelle {
namespace {

std::vector<uint8_t> Head(const FrameBuffer& f, size_t n) {
  return {f.begin(), f.begin() + n};
}

// The last payload byte that fits leaves room for the terminator only.
TEST(Frame, BuildsTheEnvelopeAndRefusesAPayloadWhoseTerminatorWouldNotFit) {
  FrameBuffer f;
  f.fill(0xAA);
  ASSERT_TRUE(BuildFrame(f, kCommandReportId, CFG_16, {kSubRead}));
  EXPECT_EQ(Head(f, 6), (std::vector<uint8_t>{0x07, 0x16, 0x01, 0x01, 0xFF, 0x00}));
  EXPECT_EQ(f[63], 0) << "the rest of the buffer is cleared";

  ASSERT_TRUE(BuildFrame(f, kCalibrationReportId, CAL_GET_MODE, {}));
  EXPECT_EQ(Head(f, 5), (std::vector<uint8_t>{0x06, 0x01, 0x00, 0xFF, 0x00}));

  std::vector<uint8_t> payload(60, 1);
  EXPECT_TRUE(BuildFrame(f, kCommandReportId, GET_INFO_F5, payload));
  EXPECT_EQ(f[63], kFrameTerminator);
  payload.push_back(1);
  EXPECT_FALSE(BuildFrame(f, kCommandReportId, GET_INFO_F5, payload));
}

// Text stops at a zero, at the field end and at the frame end; a view gives
// zero beyond the report.
TEST(Frame, NeverReadsPastTheReport) {
  const std::vector<uint8_t> frame = {7, 0xF2, 9, 1, 'A', 'B', 'C', 0, 'D', 'E', 'F', 'G', 0xFF};
  EXPECT_EQ(FrameText(frame, 4, 8), "ABC");
  const std::vector<uint8_t> full = {7, 0xF2, 9, 1, '1', '2', '3', '4', '5', '6', '7', '8', 0xFF};
  EXPECT_EQ(FrameText(full, 4, 8), "12345678");
  EXPECT_EQ(FrameText(std::span(full).first(12), 10, 8), "78") << "never past the frame";
  EXPECT_EQ(FrameText(full, 40, 8), "");

  const std::vector<uint8_t> bytes = {6, 8, 5, 0x55};
  const FrameView v{std::span(bytes).first(3)};
  EXPECT_EQ(v.PayloadLength(), 5);
  EXPECT_EQ(v.Payload(0), 0);
  EXPECT_EQ(v.Payload(4), 0);
  EXPECT_EQ(v.At(1000), 0);
}

// Every report lies in a larger buffer whose next byte is a terminator, so a
// recogniser that looks one byte past the report takes a report it must not.
TEST(Recognise, WhichReportsEachProgramTakes) {
  constexpr auto C = Recogniser::Console, K = Recogniser::Calibration, F = Recogniser::Factory;
  struct Case {
    Recogniser program;
    uint8_t reportId;
    size_t length;
    uint8_t n;  // payload length; the terminator stands at 3 + n
    bool taken;
    int terminator = -1;  // elsewhere, when not -1
  };
  const Case cases[] = {
      {C, 7, 64, 57, true},    {C, 7, 64, 58, false},   {K, 7, 64, 59, true},
      {K, 7, 64, 60, false},   {F, 7, 64, 59, true},    {F, 7, 64, 60, false},
      {C, 5, 64, 2, true},     {C, 8, 64, 2, true},     {C, 9, 64, 2, false},
      {C, 0x80, 64, 2, true},  // compared as a signed byte
      {K, 6, 48, 5, true},     {K, 5, 48, 5, false},    {K, 6, 62, 5, false},  // digitizer length
      {F, 6, 64, 2, false},    {F, 6, 48, 2, false},    {F, 7, 48, 2, false},
      {C, 7, 64, 0, false, 4}, {K, 7, 64, 0, false, 4}, {F, 7, 64, 0, false, 4},
      {K, 6, 48, 50, false},  // the payload runs past the report
      {K, 6, 48, 45, false},  // the terminator would be the next report's first byte
      {C, 7, 10, 7, false},    {C, 7, 3, 0, false},     {C, 7, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(c.program) << " id " << +c.reportId
                                      << " length " << c.length << " n " << +c.n);
    std::vector<uint8_t> buffer(c.length + 1, 0);
    const uint8_t head[] = {c.reportId, 0x12, c.n};
    std::copy_n(head, std::min<size_t>(3, c.length), buffer.begin());
    const size_t terminator = c.terminator < 0 ? 3u + c.n : static_cast<size_t>(c.terminator);
    if (terminator < c.length) buffer[terminator] = kFrameTerminator;
    buffer[c.length] = kFrameTerminator;
    EXPECT_EQ(IsAnswerFrame(c.program, std::span(buffer).first(c.length)), c.taken);
  }
}

}  // namespace
}  // namespace orvelle
