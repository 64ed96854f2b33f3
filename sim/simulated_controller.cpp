#include "sim/simulated_controller.h"

#include <cstdio>

#include "devlink/hid/sim_bus.h"
#include "devlink/protocol.h"
#include "sim/report_descriptor.h"
#include "sim/state_file.h"
#include "sim/uhid_device.h"
#include "sim/virtual_device.h"

namespace orvelle {
namespace {

VirtualDeviceIdentity MakeIdentity(const SimControllerOptions& o) {
  VirtualDeviceIdentity identity;
  identity.vendorId = o.vendorId;
  identity.productId = o.productId;
  identity.name = "Orvelle IR Touch Controller";
  identity.phys = SimUsbPhys(o.port);
  identity.reportDescriptor = ControllerReportDescriptor(o.vendorOutputLength);
  return identity;
}

std::string NameOf(std::span<const uint8_t> report) {
  if (report.size() == kDigitizerReportLength && report[0] == kDigitizerReportId) {
    return "digitizer";
  }
  if (report.size() < 2) return {};
  const char* name = CommandName(report[0], report[1]);
  return name ? name : "";
}

}  // namespace

std::string SimUsbPhys(int port) {
  return "usb-0000:00:14.0-" + std::to_string(port) + "/input0";
}

std::string DefaultSocketPath(const std::string& folder, uint16_t vendorId, uint16_t productId,
                              int port) {
  char name[48];
  if (port == kSimFirstPort) {
    std::snprintf(name, sizeof name, "touch-%04x-%04x", vendorId, productId);
  } else {
    std::snprintf(name, sizeof name, "touch-%04x-%04x-%d", vendorId, productId, port);
  }
  return SimNodePath(folder, name);
}

std::unique_ptr<HidDeviceEnd> SimulatedController::MakeDevice() {
  auto onOutput = [this](std::span<const uint8_t> r) { OnOutput(r); };
#ifdef __linux__
  if (options_.transport == SimTransport::Uhid) {
    return std::make_unique<UhidDevice>(MakeIdentity(options_), onOutput,
                                        [this](uint8_t id) { return FeatureReport(id); });
  }
#endif
  return std::make_unique<VirtualHidDevice>(MakeIdentity(options_), onOutput);
}

SimulatedController::SimulatedController(SimControllerOptions options)
    : options_(std::move(options)), device_(MakeDevice()), model_(options_.initialState) {
  if (!options_.socketPath.empty()) {
    lastPath_ = options_.socketPath;
  } else if (options_.transport == SimTransport::Uhid) {
    lastPath_ = kUhidNode;
  } else {
    lastPath_ =
        DefaultSocketPath(DefaultSimDir(), options_.vendorId, options_.productId, options_.port);
  }
}

SimulatedController::~SimulatedController() {
  StopTouches();
  // The device's thread calls into the model and the worker: it ends first.
  device_->Unplug();
}

bool SimulatedController::Start(std::string& error) {
  if (!options_.stateFile.empty()) {
    ControllerState state;
    bool existed = false;
    if (!LoadStateFile(options_.stateFile, state, existed, error)) return false;
    std::lock_guard lock(modelMutex_);
    model_.SetState(existed ? state : options_.initialState);
  }
  return Plug("", error);
}

bool SimulatedController::Plug(const std::string& socketPath, std::string& error) {
  std::string path;
  {
    std::lock_guard lock(modelMutex_);
    if (!socketPath.empty()) lastPath_ = socketPath;
    path = lastPath_;
  }
  if (!device_->Plug(path)) {
    error = device_->LastError();
    return false;
  }
  events_.Record(SimEvent::Kind::Note, {}, "plugged in at " + path);
  return true;
}

void SimulatedController::Unplug() {
  if (!device_->IsPlugged()) return;
  device_->Unplug();
  events_.Record(SimEvent::Kind::Note, {}, "unplugged");
}

std::string SimulatedController::Path() const {
  std::lock_guard lock(modelMutex_);
  return lastPath_;
}

ControllerState SimulatedController::State() const {
  std::lock_guard lock(modelMutex_);
  return model_.State();
}

bool SimulatedController::SetState(const ControllerState& state, std::string& error) {
  std::string field;
  if (!IsValidState(state, field)) {
    error = "value out of range: " + field;
    return false;
  }
  std::lock_guard lock(modelMutex_);
  model_.SetState(state);
  SaveLocked();
  return true;
}

bool SimulatedController::Calibrating() const {
  std::lock_guard lock(modelMutex_);
  return model_.Calibrating();
}

std::optional<PendingCalibration> SimulatedController::Pending() const {
  std::lock_guard lock(modelMutex_);
  return model_.Pending();
}

void SimulatedController::SetFault(CommandKey command, FaultRule rule) {
  std::lock_guard lock(modelMutex_);
  faults_[command] = rule;
}

void SimulatedController::ClearFault(CommandKey command) {
  std::lock_guard lock(modelMutex_);
  faults_.erase(command);
}

void SimulatedController::ClearFaults() {
  std::lock_guard lock(modelMutex_);
  faults_.clear();
}

std::map<CommandKey, FaultRule> SimulatedController::Faults() const {
  std::lock_guard lock(modelMutex_);
  return faults_;
}

bool SimulatedController::SendFrame(uint8_t reportId, uint8_t code,
                                    std::span<const uint8_t> payload) {
  if (reportId != kCalibrationReportId && reportId != kCommandReportId) return false;
  const std::vector<uint8_t> frame = MakeAnswerFrame(reportId, code, payload);
  if (frame.empty()) return false;
  Send(frame);
  return true;
}

// Recorded before it goes out, so that the log never shows a program's next
// request ahead of the answer it reacted to.
size_t SimulatedController::SendReport(std::span<const uint8_t> report) {
  events_.Record(SimEvent::Kind::Out, report, NameOf(report));
  return device_->SendInputReport(report);
}

// The kernel's touch driver reads how many contacts the digitizer reports
// before it takes the device; nothing else is read as a feature.
std::vector<uint8_t> SimulatedController::FeatureReport(uint8_t reportId) const {
  if (reportId != kContactMaximumFeatureId) return {};
  return {kContactMaximumFeatureId, static_cast<uint8_t>(kDigitizerContacts)};
}

void SimulatedController::Send(const std::vector<uint8_t>& report) {
  SendReport(report);
}

// Runs on the device's thread. The answer goes out from here unless a rule
// delays it; the model is never held while sending.
void SimulatedController::OnOutput(std::span<const uint8_t> report) {
  events_.Record(SimEvent::Kind::In, report, NameOf(report));
  std::vector<uint8_t> answer;
  std::optional<FaultRule> rule;
  std::string note;
  {
    std::lock_guard lock(modelMutex_);
    if (report.size() >= 2) {
      const auto found = faults_.find(CommandKey{report[0], report[1]});
      if (found != faults_.end()) {
        rule = found->second;
        if (rule->once) faults_.erase(found);
      }
    }
    if (rule && rule->kind == FaultKind::Silent) {
      note = "silent on " + NameOf(report) + " (rule)";
    } else if (rule && rule->kind == FaultKind::Refuse) {
      answer = model_.Refusal(report);
    } else {
      ModelReply reply = model_.Handle(report);
      answer = std::move(reply.answer);
      note = std::move(reply.note);
      if (reply.stateChanged) SaveLocked();
    }
  }
  if (!note.empty()) events_.Record(SimEvent::Kind::Note, {}, note);
  if (answer.empty()) return;
  if (rule && rule->kind == FaultKind::Malformed) answer = Malform(answer, rule->malform);
  if (rule && rule->kind == FaultKind::Delay) {
    worker_.Schedule(TimedWorker::Clock::now() + rule->delay,
                     [this, answer = std::move(answer)] { Send(answer); });
    return;
  }
  Send(answer);
}

void SimulatedController::SaveLocked() {
  if (options_.stateFile.empty()) return;
  std::string error;
  if (!SaveStateFile(options_.stateFile, model_.State(), error)) {
    events_.Record(SimEvent::Kind::Note, {}, "cannot save the state: " + error);
  }
}

}  // namespace orvelle
