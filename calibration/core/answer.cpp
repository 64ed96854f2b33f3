#include "calibration/core/answer.h"

#include "calibration/core/target_sequence.h"
#include "devlink/frame.h"
#include "devlink/protocol.h"

namespace orvelle {
namespace {

CalibrationAnswer OfKind(CalibrationAnswer::Kind kind) {
  CalibrationAnswer answer;
  answer.kind = kind;
  return answer;
}

CalibrationAnswer InterpretCalibrationFrame(const FrameView& f) {
  const uint8_t n = f.PayloadLength();
  switch (f.Code()) {
    case CAL_GET_MODE:
      if (n == 1 && TargetCountForMode(f.Payload(0)) != 0) {
        CalibrationAnswer answer = OfKind(CalibrationAnswer::Mode);
        answer.mode = f.Payload(0);
        return answer;
      }
      return {};
    case CAL_BEGIN:
      if (n != 1) return {};
      return OfKind(f.Payload(0) == 1 ? CalibrationAnswer::Taken : CalibrationAnswer::Refused);
    case CAL_SET_POINTS:
    case CAL_END:
      if (n != 1) return {};
      return OfKind(f.Payload(0) == 0 ? CalibrationAnswer::Refused : CalibrationAnswer::Taken);
    case CAL_RAW_POINT: {
      if (n != 5) return {};
      CalibrationAnswer answer = OfKind(CalibrationAnswer::RawPoint);
      for (size_t i = 0; i < answer.raw.size(); ++i)
        answer.raw[i] = f.Payload(i);
      return answer;
    }
    default:
      return {};
  }
}

}  // namespace

CalibrationAnswer InterpretAnswer(std::span<const uint8_t> frame) {
  const FrameView f(frame);
  // The recogniser already checked the envelope; still never read past a short one.
  if (f.Size() < 3 || f.Size() < 3u + f.PayloadLength()) return {};
  // Command frames are other programs' answers: this program sends none.
  if (f.ReportId() == kCalibrationReportId) return InterpretCalibrationFrame(f);
  return {};
}

bool IsRawPoint(std::span<const uint8_t> frame) {
  const FrameView f(frame);
  return f.ReportId() == kCalibrationReportId && f.Code() == CAL_RAW_POINT;
}

}  // namespace orvelle
