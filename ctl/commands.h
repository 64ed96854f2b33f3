#pragma once
// orvellectl's commands, free of process state so that tests run them in
// process against a simulated controller.

#include <chrono>
#include <filesystem>
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
  kExitNoAnswer = 4,      // unanswered within the link's time-out, or answers that cannot be read
  kExitWriteError = 5,    // standard output could not be written
};

struct CtlContext {
  std::function<std::shared_ptr<HidBus>()> makeBus;
  LinkProfile profile;
  int windowsClass = 3;  // which configuration groups the page uses here
  // Where `calibration start` looks for Tessaly, as the console does: beside
  // this program, then in the installed programs folder.
  std::filesystem::path program;
  std::filesystem::path installedPrograms;
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
  // The stop signal received (SIGINT, SIGTERM), or 0; asked after every
  // exchange and pause, so that a command ends with 128 + the signal.
  std::function<int()> stopSignal;
  // Sees every pause between exchanges before it is taken.
  std::function<void(std::chrono::milliseconds)> recordPauses;
};

// The process's own: the default bus, this system's Windows class, the
// standard streams.
CtlContext SystemContext();

// `args` without the program name.
int RunCtl(std::span<const std::string> args, const CtlContext& context);

}  // namespace orvelle::ctl
