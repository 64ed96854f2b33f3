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

namespace orvelle {
class Registry;
}

namespace orvelle::ctl {

// Every exit status but a stop signal's (128 + the signal): its name, its
// number and what it means, as the help and the manual page list it. One
// more status is one more line here.
#define ORVELLE_CTL_EXIT_STATUSES(STATUS)                                                        \
  STATUS(kExitDone, 0, "done")                                                                   \
  STATUS(kExitFailed, 1,                                                                         \
         "the controller refused a request, a request could not be sent (the controller went "   \
         "away), or a file could not be opened or written")                                      \
  STATUS(kExitUsage, 2,                                                                          \
         "usage: an unknown command or option, an empty --device, several controllers and no "   \
         "--device, a value no setting accepts, or an input file that is not a regular file or " \
         "whose content is wrong")                                                               \
  STATUS(kExitNoController, 3, "no controller found, or none at --device")                       \
  STATUS(kExitNoAnswer, 4,                                                                       \
         "the controller did not answer in time, or its answers could not be read")              \
  STATUS(kExitWriteError, 5, "standard output could not be written (closed, a full disk)")     \
  STATUS(kExitBusy, 6,                                                                           \
         "another program held the controller (it is named) for longer than a few seconds")

enum ExitStatus : int {
#define ORVELLE_CTL_EXIT_NAME(name, number, meaning) name = number,
  ORVELLE_CTL_EXIT_STATUSES(ORVELLE_CTL_EXIT_NAME)
#undef ORVELLE_CTL_EXIT_NAME
};

struct CtlContext {
  std::function<std::shared_ptr<HidBus>()> makeBus;
  LinkProfile profile;
  int windowsClass = 3;  // which configuration groups the page uses here
  // The user's settings, where the console keeps the controller it shows;
  // null: no choice kept.
  std::shared_ptr<Registry> settings;
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
