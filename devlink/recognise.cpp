#include "devlink/recognise.h"

#include "devlink/frame.h"

namespace orvelle {
namespace {

bool TerminatorAt(std::span<const uint8_t> report, size_t n) {
  return 3 + n < report.size() && report[3 + n] == kFrameTerminator;
}

}  // namespace

bool IsAnswerFrame(Recogniser variant, std::span<const uint8_t> report) {
  if (report.size() < 4) return false;
  const size_t n = report[2];
  switch (variant) {
    case Recogniser::Console:
      // The report ID is compared as a signed byte, so 0x80..0xFF pass too.
      return static_cast<int8_t>(report[0]) <= 8 && n <= 57 && TerminatorAt(report, n);
    case Recogniser::Calibration:
      return (report.size() == kCalibrationFrameLength || report.size() == kCommandFrameLength) &&
             (report[0] == kCalibrationReportId || report[0] == kCommandReportId) && n <= 59 &&
             TerminatorAt(report, n);
    case Recogniser::Factory:
      return report.size() == kCommandFrameLength && report[0] == kCommandReportId && n <= 59 &&
             TerminatorAt(report, n);
  }
  return false;
}

}  // namespace orvelle
