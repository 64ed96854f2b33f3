#include <gtest/gtest.h>

#include <vector>

#include "devlink/catalogue.h"
#include "devlink/frame.h"
#include "devlink/recognise.h"

namespace orvelle {
namespace {

std::vector<uint8_t> Head(const FrameBuffer& f, size_t n) { return {f.begin(), f.begin() + n}; }

TEST(Frame, BuildsTheEnvelopeOfTheCatalogueExamples) {
  FrameBuffer f;
  f.fill(0xAA);
  ASSERT_TRUE(BuildFrame(f, kCommandReportId, CFG_16, {kSubRead}));
  EXPECT_EQ(Head(f, 6), (std::vector<uint8_t>{0x07, 0x16, 0x01, 0x01, 0xFF, 0x00}));
  EXPECT_EQ(f[63], 0) << "the rest of the buffer is cleared";

  ASSERT_TRUE(BuildFrame(f, kCalibrationReportId, CAL_GET_MODE, {}));
  EXPECT_EQ(Head(f, 5), (std::vector<uint8_t>{0x06, 0x01, 0x00, 0xFF, 0x00}));
}

TEST(Frame, RefusesAPayloadWhoseTerminatorWouldNotFit) {
  FrameBuffer f;
  std::vector<uint8_t> payload(60, 1);
  EXPECT_TRUE(BuildFrame(f, kCommandReportId, GET_INFO_F5, payload));
  EXPECT_EQ(f[63], kFrameTerminator);
  payload.push_back(1);
  EXPECT_FALSE(BuildFrame(f, kCommandReportId, GET_INFO_F5, payload));
}

TEST(Frame, TextStopsAtZeroAtTheFieldEndAndAtTheFrameEnd) {
  const std::vector<uint8_t> frame = {7, 0xF2, 9, 1, 'A', 'B', 'C', 0, 'D', 'E', 'F', 'G', 0xFF};
  EXPECT_EQ(FrameText(frame, 4, 8), "ABC");
  const std::vector<uint8_t> full = {7, 0xF2, 9, 1, '1', '2', '3', '4', '5', '6', '7', '8', 0xFF};
  EXPECT_EQ(FrameText(full, 4, 8), "12345678");
  EXPECT_EQ(FrameText(std::span(full).first(12), 10, 8), "78") << "never past the frame";
  EXPECT_EQ(FrameText(full, 40, 8), "");
}

TEST(Frame, ViewGivesZeroBeyondTheReport) {
  const std::vector<uint8_t> bytes = {6, 8, 5, 0x55};
  const FrameView v{std::span(bytes).first(3)};
  EXPECT_EQ(v.PayloadLength(), 5);
  EXPECT_EQ(v.Payload(0), 0);
  EXPECT_EQ(v.Payload(4), 0);
  EXPECT_EQ(v.At(1000), 0);
}

TEST(Catalogue, NamesDependOnTheFrameKind) {
  EXPECT_STREQ(CommandName(kCalibrationReportId, 0x01), "CAL_GET_MODE");
  EXPECT_STREQ(CommandName(kCommandReportId, 0x01), "INFO_01");
  EXPECT_STREQ(CommandName(kCommandReportId, 0x81), "CFG_RESET");
  EXPECT_EQ(CommandName(kCommandReportId, 0x99), nullptr);
  EXPECT_EQ(CommandName(5, 0x01), nullptr);
}

// An answer frame of `length` bytes with payload length n and the terminator at 3+n.
std::vector<uint8_t> Answer(uint8_t reportId, size_t length, uint8_t n) {
  std::vector<uint8_t> r(length, 0);
  r[0] = reportId;
  r[1] = 0x12;
  r[2] = n;
  if (3u + n < length) r[3 + n] = 0xFF;
  return r;
}

TEST(Recognise, PayloadLengthBoundaryDiffersBetweenPrograms) {
  const auto n57 = Answer(7, 64, 57);
  const auto n58 = Answer(7, 64, 58);
  for (Recogniser v : {Recogniser::Console, Recogniser::Calibration, Recogniser::Factory}) {
    EXPECT_TRUE(IsAnswerFrame(v, n57)) << static_cast<int>(v);
  }
  EXPECT_FALSE(IsAnswerFrame(Recogniser::Console, n58));
  EXPECT_TRUE(IsAnswerFrame(Recogniser::Calibration, n58));
  EXPECT_TRUE(IsAnswerFrame(Recogniser::Factory, n58));
  EXPECT_TRUE(IsAnswerFrame(Recogniser::Factory, Answer(7, 64, 59)));
  EXPECT_FALSE(IsAnswerFrame(Recogniser::Factory, Answer(7, 64, 60)));
}

TEST(Recognise, TerminatorMustStandRightAfterThePayload) {
  auto f = Answer(7, 64, 0);
  EXPECT_EQ(f[3], 0xFF);
  EXPECT_TRUE(IsAnswerFrame(Recogniser::Console, f));
  f[3] = 0xFE;
  f[4] = 0xFF;
  for (Recogniser v : {Recogniser::Console, Recogniser::Calibration, Recogniser::Factory}) {
    EXPECT_FALSE(IsAnswerFrame(v, f));
  }
}

TEST(Recognise, ReportIdsEachProgramTakes) {
  EXPECT_TRUE(IsAnswerFrame(Recogniser::Console, Answer(5, 64, 2)));
  EXPECT_TRUE(IsAnswerFrame(Recogniser::Console, Answer(8, 64, 2)));
  EXPECT_FALSE(IsAnswerFrame(Recogniser::Console, Answer(9, 64, 2)));
  EXPECT_TRUE(IsAnswerFrame(Recogniser::Console, Answer(0x80, 64, 2))) << "signed comparison";

  EXPECT_TRUE(IsAnswerFrame(Recogniser::Calibration, Answer(6, 48, 5)));
  EXPECT_FALSE(IsAnswerFrame(Recogniser::Calibration, Answer(5, 48, 5)));
  EXPECT_FALSE(IsAnswerFrame(Recogniser::Calibration, Answer(6, 62, 5))) << "digitizer length";

  EXPECT_FALSE(IsAnswerFrame(Recogniser::Factory, Answer(6, 64, 2)));
  EXPECT_FALSE(IsAnswerFrame(Recogniser::Factory, Answer(6, 48, 2)));
  EXPECT_FALSE(IsAnswerFrame(Recogniser::Factory, Answer(7, 48, 2)));
}

TEST(Recognise, NeverLooksPastTheReport) {
  // A 48-byte report whose payload length points beyond its end: the byte
  // there would belong to the next report of a split read.
  auto f = Answer(6, 48, 50);
  EXPECT_FALSE(IsAnswerFrame(Recogniser::Calibration, f));
  // The terminator just past the report's end is not the report's.
  auto split = Answer(6, 49, 45);
  EXPECT_FALSE(IsAnswerFrame(Recogniser::Calibration, std::span(split).first(48)));
  const std::vector<uint8_t> tiny = {7, 1, 0};
  EXPECT_FALSE(IsAnswerFrame(Recogniser::Console, tiny));
  EXPECT_FALSE(IsAnswerFrame(Recogniser::Console, {}));
}

}  // namespace
}  // namespace orvelle
