#pragma once
// Header-only: users link orvelle-simulator themselves.

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

}  // namespace orvelle::testing
