#pragma once
// Header-only: users link orvelle-simulator themselves.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "devlink/frame.h"
#include "devlink/hid/default_bus.h"
#include "devlink/usb_transfer.h"
#include "sim/simulated_controller.h"
#include "tests/support/frames.h"
#include "tests/support/recording_sink.h"
#include "tests/support/temp_folder.h"

namespace orvelle::testing {

using namespace std::chrono_literals;

// No start pause; the time-out only limits a test that fails.
inline LinkProfile Quick(LinkProfile p, std::chrono::milliseconds timeout = 5s) {
  p.startPause = 0ms;
  p.answerTimeout = timeout;
  return p;
}

inline std::shared_ptr<HidBus> SimOnlyBus(const std::string& folder) {
  DefaultBusOptions options;
  options.simDir = folder;
  options.withHidraw = false;
  return MakeDefaultBus(options);
}

inline SimControllerOptions ControllerIn(const TempFolder& folder, uint8_t vendorOutput = 4) {
  SimControllerOptions options;
  options.socketPath = DefaultSocketPath(folder.Path(), 0x2A5C, 19);
  options.vendorOutputLength = vendorOutput;
  return options;
}

// A controller started at the usual socket in `folder`; null, and the test
// failed, when it could not start.
inline std::unique_ptr<SimulatedController> StartController(const std::string& folder,
                                                            const ControllerState& state = {}) {
  SimControllerOptions options;
  options.socketPath = DefaultSocketPath(folder, options.vendorId, options.productId);
  options.initialState = state;
  auto sim = std::make_unique<SimulatedController>(options);
  std::string error;
  if (sim->Start(error)) return sim;
  ADD_FAILURE() << error;
  return nullptr;
}

// The first frame of `kind` with this report ID and code logged after `after`.
inline std::optional<SimEvent> AwaitFrame(SimulatedController& sim, SimEvent::Kind kind,
                                          uint8_t reportId, uint8_t code,
                                          std::chrono::milliseconds limit, uint64_t after = 0) {
  return sim.Events().WaitFor([&](const SimEvent& e) { return e.IsFrame(kind, reportId, code); },
                              after, limit);
}

}  // namespace orvelle::testing
