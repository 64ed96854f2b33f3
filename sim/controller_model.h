#pragma once
// The simulated controller's protocol: one output report in, at most one input
// report out. No sockets and no threads; SimulatedController adds those.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "devlink/frame.h"
#include "sim/controller_state.h"
#include "sim/touch_geometry.h"

namespace orvelle {

enum class RequestOutcome : uint8_t {
  Answered,   // `answer` holds the answer frame
  Unknown,    // a well-formed frame with a command code this controller lacks
  Malformed,  // a report of the frame collections that is no valid frame
  Ignored,    // an output report of another collection (keyboard LEDs, vendor)
};

struct ModelReply {
  RequestOutcome outcome = RequestOutcome::Ignored;
  std::vector<uint8_t> answer;  // one input report, report ID first; may be empty
  bool stateChanged = false;    // the non-volatile state was written
  std::string note;             // why nothing was answered
};

// A calibration result received with CAL_SET_POINTS, kept until CAL_END.
struct PendingCalibration {
  uint8_t mode = 0;
  std::array<int16_t, 6> affine{};  // mode 2
  std::array<int16_t, 9> x{};       // modes 3 and 4, slot order
  std::array<int16_t, 9> y{};
};

class ControllerModel {
 public:
  explicit ControllerModel(ControllerState state = {});

  ModelReply Handle(std::span<const uint8_t> outputReport);
  // What the controller answers when it refuses `request` ({sub, 0} with the
  // command's write-answer length, or {0} for calibration frames); empty when
  // `request` is no frame.
  std::vector<uint8_t> Refusal(std::span<const uint8_t> request) const;
  // One report of a touch at a raw position: CAL_RAW_POINT on the calibration
  // collection while calibrating, else a digitizer report at the calibrated
  // position. `touching` false gives the lift report.
  std::vector<uint8_t> TouchReport(RawPoint raw, bool touching) const;

  bool Calibrating() const { return calibrating_; }
  // The mode fixed by CAL_BEGIN for the running calibration.
  uint8_t RunMode() const { return runMode_; }
  const std::optional<PendingCalibration>& Pending() const { return pending_; }
  const ControllerState& State() const { return state_; }
  void SetState(const ControllerState& state) { state_ = state; }

 private:
  struct Request {
    uint8_t reportId = 0;
    uint8_t code = 0;
    std::span<const uint8_t> payload;
    uint8_t Sub() const { return payload.empty() ? 0 : payload[0]; }
    uint8_t At(size_t k) const { return k < payload.size() ? payload[k] : 0; }
  };

  std::optional<std::vector<uint8_t>> CommandAnswer(const Request& r, bool& changed);
  std::optional<std::vector<uint8_t>> ConfigWrite(const Request& r, bool& changed);
  std::optional<std::vector<uint8_t>> CalibrationAnswer(const Request& r, bool& changed);
  std::vector<uint8_t> SetPoints(const Request& r);
  std::vector<uint8_t> EndCalibration(const Request& r, bool& changed);
  std::vector<uint8_t> WriteRecord(const Request& r, bool& changed);

  ControllerState state_;
  bool calibrating_ = false;
  uint8_t runMode_ = 0;
  std::optional<PendingCalibration> pending_;
};

// An answer frame as the controller sends it: 64 bytes for command frames, 48
// for calibration frames.
std::vector<uint8_t> MakeAnswerFrame(uint8_t reportId, uint8_t code,
                                     std::span<const uint8_t> payload);
// Splits a request frame; false when the report is no frame of ID 6 or 7
// whose terminator lies inside the report.
bool ParseFrame(std::span<const uint8_t> report, uint8_t& reportId, uint8_t& code,
                std::span<const uint8_t>& payload);
// Payload length of the answer to a write of `code` ({2, status} and padding).
size_t WriteAnswerLength(uint8_t code);

}  // namespace orvelle
