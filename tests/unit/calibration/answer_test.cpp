#include "calibration/core/answer.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/frames.h"

namespace orvelle {
namespace {

using testing::Request;

TEST(InterpretAnswer, EachAnswerCountsOnlyInItsExactShape) {
  using A = CalibrationAnswer;
  struct Case {
    std::vector<uint8_t> frame;
    A::Kind kind;
  };
  const Case cases[] = {
      {Request(6, 0x01, {2}), A::Mode},
      {Request(6, 0x01, {4}), A::Mode},
      {Request(6, 0x01, {1}), A::None},  // no such mode
      {Request(6, 0x01, {5}), A::None},
      {Request(6, 0x01, {4, 0}), A::None},
      {Request(6, 0x03, {1}), A::BeginConfirmed},
      {Request(6, 0x03, {0}), A::Refused},
      {Request(6, 0x03, {1, 1}), A::None},
      {Request(6, 0x04, {0}), A::Refused},
      {Request(6, 0x05, {0}), A::Refused},
      {Request(6, 0x04, {1}), A::None},
      {Request(6, 0x05, {0, 0}), A::None},
      {Request(7, 0x12, {2, 0}), A::Refused},
      {Request(7, 0x12, {2, 1}), A::None},
      {Request(7, 0x12, {2, 0, 0}), A::None},
      {Request(7, 0x04, {0}), A::None},  // a command frame, not a calibration one
      {Request(6, 0x08, {7, 1, 2, 3, 4}), A::RawPoint},
      {Request(6, 0x08, {7, 1, 2, 3}), A::None},
      {Request(6, 0x08, {7, 1, 2, 3, 4, 5}), A::None},
      // Shorter than their envelope says.
      {{}, A::None},
      {{6, 0x08}, A::None},
      {{6, 0x08, 5, 7, 1}, A::None},
      {{6, 0x03, 1}, A::None},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(InterpretAnswer(cases[i].frame).kind, cases[i].kind) << "case " << i;

  EXPECT_EQ(InterpretAnswer(Request(6, 0x01, {3})).mode, 3);
  EXPECT_EQ(InterpretAnswer(Request(6, 0x08, {7, 0x34, 0x12, 0xCD, 0x0A})).raw,
            (std::array<uint8_t, 5>{7, 0x34, 0x12, 0xCD, 0x0A}));
}

}  // namespace
}  // namespace orvelle
