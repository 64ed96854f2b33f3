#pragma once
// The simulated touch controller as a device: the protocol model behind a
// virtual HID device on the simulator bus, with fault rules, unsolicited
// frames, touch streams, scripted calibration touches, unplug and replug, and
// optional persistence of its state.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "sim/controller_model.h"
#include "sim/device_end.h"
#include "sim/fault_rules.h"
#include "sim/sim_events.h"
#include "sim/timed_worker.h"

namespace orvelle {

// Where the controller plugs in: the simulator's folder, which only the
// suite's programs see, or (Linux only) the kernel's /dev/uhid, which makes it
// a HID device of the running kernel (a hidraw node, its drivers, udev's
// notices).
enum class SimTransport : uint8_t { Socket, Uhid };

// The USB port a controller is plugged into, a hub's port number: a uhid
// controller names it in its kernel "phys", a socket in its name. The same at
// every plug, so that the programs' paths survive a replug; two controllers
// with one identity need two ports.
inline constexpr int kSimFirstPort = 1;
inline constexpr int kSimLastPort = 31;
// "usb-0000:00:14.0-<port>/input0"
std::string SimUsbPhys(int port = kSimFirstPort);

struct SimControllerOptions {
  SimTransport transport = SimTransport::Socket;
  // Node (or uhid node) to plug in at; empty: DefaultSocketPath(DefaultSimDir(),
  // ids, port) for the folder, /dev/uhid for uhid.
  std::string socketPath;
  uint16_t vendorId = 0x2A5C;
  uint16_t productId = 19;
  int port = kSimFirstPort;
  uint8_t vendorOutputLength = 4;  // 4 or 8
  // Non-volatile memory; empty: the state lives as long as the object.
  std::string stateFile;
  ControllerState initialState;  // used without a state file
};

// "<folder>/touch-<vendor>-<product>", with "-<port>" after it for any port
// but the first.
std::string DefaultSocketPath(const std::string& folder, uint16_t vendorId, uint16_t productId,
                              int port = kSimFirstPort);

// `count` touching reports at `at` (each axis moved by up to ±jitter), `rate`
// per second (0: as fast as possible), then one lift report.
struct TouchStream {
  RawPoint at;
  int count = 110;
  double rate = 200;
  int jitter = 0;
};

// Touches every target of the running calibration in capture order, so a
// calibration runs without a person. Waits up to `waitLimit` for CAL_BEGIN.
struct TargetRun {
  std::vector<RawPoint> positions;  // per target in capture order; missing: nominal
  int reportsPerTarget = 110;
  double rate = 200;
  int jitter = 0;
  std::chrono::milliseconds gap{300};  // finger lifted between targets
  // From CAL_BEGIN to the first touch: the program shows its first target
  // only after its own start-up pause.
  std::chrono::milliseconds startDelay{1000};
  std::chrono::milliseconds waitLimit{60000};
};

class SimulatedController {
 public:
  explicit SimulatedController(SimControllerOptions options = {});
  ~SimulatedController();  // unplugs
  SimulatedController(const SimulatedController&) = delete;
  SimulatedController& operator=(const SimulatedController&) = delete;

  // Loads the state file (a damaged one is an error and stays untouched) and
  // plugs in.
  bool Start(std::string& error);
  // Plugs in at `socketPath`, or at the last path when empty.
  bool Plug(const std::string& socketPath, std::string& error);
  void Unplug();
  bool IsPlugged() const { return device_->IsPlugged(); }
  std::string Path() const;
  size_t OpenCount() const { return device_->OpenCount(); }
  uint64_t DroppedReports() const { return device_->DroppedReports(); }

  ControllerState State() const;
  // Validated like a write; saved when persistent.
  bool SetState(const ControllerState& state, std::string& error);
  bool Calibrating() const;
  std::optional<PendingCalibration> Pending() const;

  void SetFault(CommandKey command, FaultRule rule);
  void ClearFault(CommandKey command);
  void ClearFaults();
  std::map<CommandKey, FaultRule> Faults() const;

  // Unsolicited frame on the collection of its report ID; false when it does
  // not fit the report.
  bool SendFrame(uint8_t reportId, uint8_t code, std::span<const uint8_t> payload);
  // Any input report, report ID first; returns how many opens got it.
  size_t SendReport(std::span<const uint8_t> report);

  void Touch(const TouchStream& stream);
  void TouchTargets(const TargetRun& run);
  // Ends every touch stream and target run.
  void StopTouches();
  // True once no touch stream or target run is left, within `limit`.
  bool WaitTouchesDone(std::chrono::milliseconds limit) const;

  SimEventLog& Events() { return events_; }

 private:
  struct Stream;
  struct TargetPlan;

  std::unique_ptr<HidDeviceEnd> MakeDevice();
  void OnOutput(std::span<const uint8_t> report);
  std::vector<uint8_t> FeatureReport(uint8_t reportId) const;
  void Send(const std::vector<uint8_t>& report);
  void SaveLocked();
  void RunStream(std::shared_ptr<Stream> stream);
  void RunTargets(std::shared_ptr<TargetPlan> plan);
  void StartTargets(std::shared_ptr<TargetPlan> plan);
  bool Cancelled(uint64_t generation) const;
  void TouchTaskEnded();
  RawPoint Jittered(RawPoint at, int jitter);

  const SimControllerOptions options_;
  const std::unique_ptr<HidDeviceEnd> device_;
  SimEventLog events_;

  mutable std::mutex modelMutex_;
  ControllerModel model_;
  std::map<CommandKey, FaultRule> faults_;
  std::string lastPath_;

  mutable std::mutex touchMutex_;
  mutable std::condition_variable touchesChanged_;
  uint64_t touchGeneration_ = 0;
  int activeTouchTasks_ = 0;
  std::mt19937 jitterRandom_{20240312};  // worker thread only

  TimedWorker worker_;  // last: its tasks use everything above
};

}  // namespace orvelle
