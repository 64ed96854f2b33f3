#pragma once
// orvellectl's commands, free of process state so that tests run them in
// process against a simulated controller.

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <span>
#include <string>

#include "devlink/hid/bus.h"
#include "devlink/link_profile.h"

namespace orvelle::ctl {

enum ExitStatus : int {
  kExitDone = 0,
  kExitFailed = 1,        // the controller refused or failed, or a file could not be used
  kExitUsage = 2,         // the command line is wrong, or a value no control can hold
  kExitNoController = 3,  // none found, or --device names none
  kExitNoAnswer = 4,      // a request went unanswered within the link's time-out
};

struct CtlContext {
  std::function<std::shared_ptr<HidBus>()> makeBus;
  LinkProfile profile;
  int windowsClass = 3;  // which configuration groups the page uses here
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
  // Asked between waits by commands that run until stopped (monitor).
  std::function<bool()> stopRequested;
};

// The process's own: the default bus, this system's Windows class, the
// standard streams.
CtlContext SystemContext();

// `args` without the program name.
int RunCtl(std::span<const std::string> args, const CtlContext& context);

}  // namespace orvelle::ctl
