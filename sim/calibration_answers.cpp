// Answers to calibration frames (report ID 6): mode, the calibration run and
// the stored calibration record. Two-byte values are low byte first.
#include "devlink/protocol.h"
#include "sim/controller_model.h"

namespace orvelle {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Status(uint8_t code, bool accepted) {
  const uint8_t status = accepted ? 1 : 0;
  return MakeAnswerFrame(kCalibrationReportId, code, std::span<const uint8_t>(&status, 1));
}

int16_t LittleEndianAt(std::span<const uint8_t> p, size_t offset) {
  return static_cast<int16_t>(p[offset] | (p[offset + 1] << 8));
}

constexpr size_t kAffinePayload = 12;
constexpr size_t kNinePointPayload = 36;

}  // namespace

std::optional<Bytes> ControllerModel::CalibrationAnswer(const Request& r, bool& changed) {
  switch (r.code) {
    case CAL_GET_MODE: {
      const uint8_t mode = state_.calMode;
      return MakeAnswerFrame(kCalibrationReportId, r.code, std::span<const uint8_t>(&mode, 1));
    }
    case CAL_SET_MODE: {
      const bool ok = r.payload.size() == 1 && IsCalMode(r.At(0));
      if (ok) state_.calMode = r.At(0);
      changed = ok;
      return Status(r.code, ok);
    }
    case CAL_BEGIN:
      // The run keeps the mode it began with, whatever CAL_SET_MODE does meanwhile.
      calibrating_ = true;
      runMode_ = state_.calMode;
      pending_.reset();
      return Status(r.code, true);
    case CAL_SET_POINTS:
      return SetPoints(r);
    case CAL_END:
      return EndCalibration(r, changed);
    case CAL_WRITE_DATA:
      return WriteRecord(r, changed);
    case CAL_READ_DATA: {
      const auto record = EncodeRecord(state_.record);
      return MakeAnswerFrame(kCalibrationReportId, r.code, record);
    }
    case CAL_RESET:
      state_.record = ControllerState::FactoryRecord();
      state_.affine = ControllerState::IdentityAffine();
      state_.affineActive = false;
      changed = true;
      return Status(r.code, true);
    default:
      return std::nullopt;  // CAL_RAW_POINT included: only the controller sends it
  }
}

// Keeps the result pending until CAL_END. Refused outside a run, when the
// length does not fit the run's mode, for a singular affine map, or for points
// beyond the range the controller can use.
Bytes ControllerModel::SetPoints(const Request& r) {
  if (!calibrating_) return Status(r.code, false);
  PendingCalibration result;
  result.mode = runMode_;
  const auto p = r.payload;
  if (runMode_ == 2) {
    if (p.size() != kAffinePayload) return Status(r.code, false);
    for (size_t i = 0; i < 6; ++i)
      result.affine[i] = LittleEndianAt(p, 2 * i);
    const auto& c = result.affine;
    if (long{c[0]} * c[4] - long{c[1]} * c[3] == 0) return Status(r.code, false);
  } else {
    if (p.size() != kNinePointPayload) return Status(r.code, false);
    for (size_t j = 0; j < 9; ++j) {
      result.x[j] = LittleEndianAt(p, 4 * j);
      result.y[j] = LittleEndianAt(p, 4 * j + 2);
      if (!IsCalibrationValue(result.x[j]) || !IsCalibrationValue(result.y[j])) {
        return Status(r.code, false);
      }
    }
  }
  pending_ = result;
  return Status(r.code, true);
}

// {1} stores the pending result, {0} discards it; either ends the run. {1}
// without a pending result is refused.
Bytes ControllerModel::EndCalibration(const Request& r, bool& changed) {
  if (r.payload.size() != 1 || r.At(0) > 1) return Status(r.code, false);
  const bool keep = r.At(0) == 1;
  const bool ok = !keep || (calibrating_ && pending_.has_value());
  if (keep && ok) {
    const PendingCalibration& result = *pending_;
    if (result.mode == 2) {
      state_.affine = result.affine;
      state_.affineActive = true;
    } else {
      state_.record.x = result.x;
      state_.record.y = result.y;
      state_.record.headerA = result.mode;
      state_.record.flags[0] = 1;
      state_.affineActive = false;
    }
    changed = true;
  }
  calibrating_ = false;
  pending_.reset();
  return Status(r.code, ok);
}

Bytes ControllerModel::WriteRecord(const Request& r, bool& changed) {
  if (r.payload.size() != static_cast<size_t>(kCalibrationRecordLength)) {
    return Status(r.code, false);
  }
  const CalibrationRecord record = DecodeRecord(r.payload.first<41>());
  if (!IsValidRecord(record)) return Status(r.code, false);
  state_.record = record;
  state_.affineActive = false;
  changed = true;
  return Status(r.code, true);
}

}  // namespace orvelle
