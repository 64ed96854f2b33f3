// The process's own context: the default bus, this system's Windows class,
// the standard streams, and the stop signals.
#include <atomic>
#include <csignal>
#include <iostream>

#include "console/core/config_page.h"
#include "ctl/commands.h"
#include "ctl/ctl_link.h"
#include "devlink/hid/default_bus.h"
#include "platform/os_version.h"

namespace orvelle::ctl {
namespace {

std::atomic<int> stopSignal{0};

void OnStopSignal(int signal) {
  stopSignal = signal;
}

}  // namespace

CtlContext SystemContext() {
  static_assert(std::atomic<int>::is_always_lock_free);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  CtlContext context;
  context.stopSignal = [] { return stopSignal.load(); };
  context.makeBus = [] { return MakeDefaultBus(); };
  context.profile = CtlProfile();
  context.windowsClass = console::WindowsClass(SystemOsVersion());
  std::error_code error;
  context.program = std::filesystem::read_symlink("/proc/self/exe", error);
  context.installedPrograms = ORVELLE_INSTALLED_BIN_DIR;
  context.out = &std::cout;
  context.err = &std::cerr;
  return context;
}

}  // namespace orvelle::ctl
