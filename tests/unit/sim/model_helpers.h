#pragma once
// Builds requests as the programs send them and reads the model's answers.

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "devlink/frame.h"
#include "sim/controller_model.h"
#include "tests/support/frames.h"

namespace orvelle::testing {

inline std::vector<uint8_t> Command(uint8_t code, std::initializer_list<uint8_t> payload) {
  return Request(kCommandReportId, code, payload);
}

inline std::vector<uint8_t> Calibration(uint8_t code, std::initializer_list<uint8_t> payload) {
  return Request(kCalibrationReportId, code, payload);
}

// The answer's payload, after checking the envelope: report ID, code, length,
// terminator and the report length of its collection.
inline std::vector<uint8_t> AnswerPayload(const ModelReply& reply, uint8_t reportId, uint8_t code) {
  EXPECT_EQ(reply.outcome, RequestOutcome::Answered) << reply.note;
  const auto& a = reply.answer;
  const size_t length =
      reportId == kCalibrationReportId ? kCalibrationFrameLength : kCommandFrameLength;
  EXPECT_EQ(a.size(), length);
  if (a.size() < 4) return {};
  EXPECT_EQ(a[0], reportId);
  EXPECT_EQ(a[1], code);
  const size_t n = a[2];
  if (3 + n >= a.size()) {
    ADD_FAILURE() << "payload length " << n << " does not fit";
    return {};
  }
  EXPECT_EQ(a[3 + n], kFrameTerminator);
  return std::vector<uint8_t>(a.begin() + 3, a.begin() + 3 + static_cast<long>(n));
}

}  // namespace orvelle::testing
