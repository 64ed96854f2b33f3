#include "sim/controller_model.h"

#include <cstdio>

#include "devlink/protocol.h"
#include "sim/report_descriptor.h"

namespace orvelle {

std::vector<uint8_t> MakeAnswerFrame(uint8_t reportId, uint8_t code,
                                     std::span<const uint8_t> payload) {
  FrameBuffer frame;
  if (!BuildFrame(frame, reportId, code, payload)) return {};
  const size_t length =
      reportId == kCalibrationReportId ? kCalibrationFrameLength : kCommandFrameLength;
  if (3 + payload.size() >= length) return {};
  return std::vector<uint8_t>(frame.begin(), frame.begin() + static_cast<long>(length));
}

bool ParseFrame(std::span<const uint8_t> report, uint8_t& reportId, uint8_t& code,
                std::span<const uint8_t>& payload) {
  if (report.size() < 4) return false;
  if (report[0] != kCalibrationReportId && report[0] != kCommandReportId) return false;
  const size_t n = report[2];
  if (3 + n >= report.size() || report[3 + n] != kFrameTerminator) return false;
  reportId = report[0];
  code = report[1];
  payload = report.subspan(3, n);
  return true;
}

size_t WriteAnswerLength(uint8_t code) {
  switch (code) {
    case CFG_14:
    case CFG_15:
    case CFG_RESET:
      return 5;
    case CFG_21:
      return 6;
    default:
      return 2;
  }
}

ControllerModel::ControllerModel(ControllerState state) : state_(std::move(state)) {}

ModelReply ControllerModel::Handle(std::span<const uint8_t> outputReport) {
  ModelReply reply;
  if (outputReport.empty() ||
      (outputReport[0] != kCalibrationReportId && outputReport[0] != kCommandReportId)) {
    reply.outcome = RequestOutcome::Ignored;
    reply.note = "output report of another collection";
    return reply;
  }
  Request r;
  if (!ParseFrame(outputReport, r.reportId, r.code, r.payload)) {
    reply.outcome = RequestOutcome::Malformed;
    reply.note = "no valid frame (length byte or terminator): no answer";
    return reply;
  }
  auto answer = r.reportId == kCommandReportId ? CommandAnswer(r, reply.stateChanged)
                                               : CalibrationAnswer(r, reply.stateChanged);
  if (!answer) {
    char note[64];
    std::snprintf(note, sizeof note, "unknown command 0x%02X: no answer", r.code);
    reply.outcome = RequestOutcome::Unknown;
    reply.note = note;
    return reply;
  }
  reply.outcome = RequestOutcome::Answered;
  reply.answer = std::move(*answer);
  return reply;
}

std::vector<uint8_t> ControllerModel::Refusal(std::span<const uint8_t> request) const {
  Request r;
  if (!ParseFrame(request, r.reportId, r.code, r.payload)) return {};
  if (r.reportId == kCalibrationReportId) {
    const uint8_t status = 0;
    return MakeAnswerFrame(r.reportId, r.code, std::span<const uint8_t>(&status, 1));
  }
  std::vector<uint8_t> payload(WriteAnswerLength(r.code), 0);
  payload[0] = r.Sub();
  return MakeAnswerFrame(r.reportId, r.code, payload);
}

std::vector<uint8_t> ControllerModel::TouchReport(RawPoint raw, bool touching) const {
  if (calibrating_) {
    const uint8_t payload[] = {static_cast<uint8_t>(touching ? kTouchStateTouching : 0),
                               static_cast<uint8_t>(raw.x & 0xFF), static_cast<uint8_t>(raw.x >> 8),
                               static_cast<uint8_t>(raw.y & 0xFF),
                               static_cast<uint8_t>(raw.y >> 8)};
    return MakeAnswerFrame(kCalibrationReportId, CAL_RAW_POINT, payload);
  }
  // One contact: tip switch and in range, contact id 0, then the contact count.
  const RawPoint screen = ApplyCalibration(state_, raw);
  std::vector<uint8_t> report(kDigitizerReportLength, 0);
  report[0] = kDigitizerReportId;
  report[1] = touching ? 0x03 : 0x00;
  report[2] = 0;
  report[3] = static_cast<uint8_t>(screen.x & 0xFF);
  report[4] = static_cast<uint8_t>(screen.x >> 8);
  report[5] = static_cast<uint8_t>(screen.y & 0xFF);
  report[6] = static_cast<uint8_t>(screen.y >> 8);
  report[kDigitizerReportLength - 1] = 1;
  return report;
}

}  // namespace orvelle
