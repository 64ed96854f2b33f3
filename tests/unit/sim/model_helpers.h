#pragma once
// Reads the model's answers.

#include <gtest/gtest.h>

#include <vector>

#include "devlink/frame.h"
#include "sim/controller_model.h"
#include "tests/support/frames.h"

namespace orvelle::testing {

// The answer's payload, after checking its envelope and length.
inline std::vector<uint8_t> AnswerPayload(const ModelReply& reply, uint8_t reportId, uint8_t code) {
  EXPECT_EQ(reply.outcome, RequestOutcome::Answered) << reply.note;
  const auto& a = reply.answer;
  const size_t n = a.size() > 3 ? a[2] : 0;
  if (a.size() !=
          (reportId == kCalibrationReportId ? kCalibrationFrameLength : kCommandFrameLength) ||
      3 + n >= a.size()) {
    ADD_FAILURE() << a.size() << "-byte answer, payload length " << n;
    return {};
  }
  EXPECT_EQ((std::vector<uint8_t>{a[0], a[1], a[3 + n]}),
            (std::vector<uint8_t>{reportId, code, kFrameTerminator}));
  return std::vector<uint8_t>(a.begin() + 3, a.begin() + 3 + static_cast<long>(n));
}

}  // namespace orvelle::testing
