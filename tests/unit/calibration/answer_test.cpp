#include "calibration/core/answer.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/frames.h"

namespace orvelle {
namespace {

using testing::Request;

CalibrationAnswer::Kind KindOf(const std::vector<uint8_t>& f) {
  return InterpretAnswer(f).kind;
}

TEST(InterpretAnswer, ModeAnswersAreTakenOnlyForTwoThreeAndFour) {
  for (uint8_t mode : {2, 3, 4}) {
    const CalibrationAnswer a = InterpretAnswer(Request(6, 0x01, {mode}));
    EXPECT_EQ(a.kind, CalibrationAnswer::Mode);
    EXPECT_EQ(a.mode, mode);
  }
  EXPECT_EQ(KindOf(Request(6, 0x01, {5})), CalibrationAnswer::None);
  EXPECT_EQ(KindOf(Request(6, 0x01, {1})), CalibrationAnswer::None);
  EXPECT_EQ(KindOf(Request(6, 0x01, {4, 0})), CalibrationAnswer::None);
}

TEST(InterpretAnswer, RefusalsOfBeginPointsEndAndConfig12) {
  EXPECT_EQ(KindOf(Request(6, 0x03, {1})), CalibrationAnswer::BeginConfirmed);
  EXPECT_EQ(KindOf(Request(6, 0x03, {0})), CalibrationAnswer::Refused);
  EXPECT_EQ(KindOf(Request(6, 0x03, {1, 1})), CalibrationAnswer::None);
  for (uint8_t code : {0x04, 0x05}) {
    EXPECT_EQ(KindOf(Request(6, code, {0})), CalibrationAnswer::Refused);
    EXPECT_EQ(KindOf(Request(6, code, {1})), CalibrationAnswer::None);
    EXPECT_EQ(KindOf(Request(6, code, {0, 0})), CalibrationAnswer::None);
  }
  EXPECT_EQ(KindOf(Request(7, 0x12, {2, 0})), CalibrationAnswer::Refused);
  EXPECT_EQ(KindOf(Request(7, 0x12, {2, 1})), CalibrationAnswer::None);
  EXPECT_EQ(KindOf(Request(7, 0x12, {2, 0, 0})), CalibrationAnswer::None);
  EXPECT_EQ(KindOf(Request(7, 0x04, {0})), CalibrationAnswer::None) << "command frame, not cal";
}

TEST(InterpretAnswer, RawPointNeedsExactlyFiveBytes) {
  const CalibrationAnswer a = InterpretAnswer(Request(6, 0x08, {7, 0x34, 0x12, 0xCD, 0x0A}));
  EXPECT_EQ(a.kind, CalibrationAnswer::RawPoint);
  EXPECT_EQ(a.raw, (std::array<uint8_t, 5>{7, 0x34, 0x12, 0xCD, 0x0A}));
  EXPECT_EQ(KindOf(Request(6, 0x08, {7, 1, 2, 3})), CalibrationAnswer::None);
  EXPECT_EQ(KindOf(Request(6, 0x08, {7, 1, 2, 3, 4, 5})), CalibrationAnswer::None);
}

TEST(InterpretAnswer, ShortReportsMeanNothing) {
  EXPECT_EQ(KindOf({}), CalibrationAnswer::None);
  EXPECT_EQ(KindOf({6, 0x08}), CalibrationAnswer::None);
  EXPECT_EQ(KindOf({6, 0x08, 5, 7, 1}), CalibrationAnswer::None);
  EXPECT_EQ(KindOf({6, 0x03, 1}), CalibrationAnswer::None);
}

}  // namespace
}  // namespace orvelle
