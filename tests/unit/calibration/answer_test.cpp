#include "calibration/core/answer.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/frames.h"

namespace orvelle {
namespace {

using testing::Request;

TEST(InterpretAnswer, EachAnswerCountsOnlyInItsExactShape) {
  using A = CalibrationAnswer;
  using Frames = std::vector<std::vector<uint8_t>>;
  const std::pair<A::Kind, Frames> groups[] = {
      {A::Mode, {Request(6, 0x01, {2}), Request(6, 0x01, {4})}},
      {A::Refused, {Request(6, 0x03, {0}), Request(6, 0x04, {0}), Request(6, 0x05, {0})}},
      {A::Taken, {Request(6, 0x03, {1}), Request(6, 0x04, {1}), Request(6, 0x05, {2})}},
      {A::RawPoint, {Request(6, 0x08, {7, 1, 2, 3, 4})}},
      // Wrong values or lengths; command frames are other programs' answers.
      {A::None,
       {Request(6, 0x01, {1}), Request(6, 0x01, {5}), Request(6, 0x01, {4, 0}),
        Request(6, 0x03, {1, 1}), Request(6, 0x05, {0, 0}), Request(7, 0x12, {2, 0}),
        Request(7, 0x04, {0}), Request(6, 0x08, {7, 1, 2, 3}),
        Request(6, 0x08, {7, 1, 2, 3, 4, 5})}},
      // Shorter than their envelope says.
      {A::None, {{}, {6, 0x08}, {6, 0x08, 5, 7, 1}, {6, 0x03, 1}}},
  };
  for (const auto& [kind, frames] : groups) {
    for (size_t i = 0; i < frames.size(); ++i)
      EXPECT_EQ(InterpretAnswer(frames[i]).kind, kind) << "kind " << kind << ", frame " << i;
  }

  EXPECT_EQ(InterpretAnswer(Request(6, 0x01, {3})).mode, 3);
  EXPECT_EQ(InterpretAnswer(Request(6, 0x08, {7, 0x34, 0x12, 0xCD, 0x0A})).raw,
            (std::array<uint8_t, 5>{7, 0x34, 0x12, 0xCD, 0x0A}));
}

}  // namespace
}  // namespace orvelle
