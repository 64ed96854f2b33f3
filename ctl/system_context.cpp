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
#include "platform/registry.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace orvelle::ctl {
namespace {

std::atomic<int> stopSignal{0};

void OnStopSignal(int signal) {
  stopSignal = signal;
}

#ifdef _WIN32
// Ctrl-C and Ctrl-Break reach a console program as SIGINT; the C runtime
// keeps the handler installed, as sigaction does.
void CatchStopSignals() {
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
}

std::filesystem::path OwnProgram() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD n = 0;
  while ((n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) ==
         path.size())
    path.resize(path.size() * 2);
  path.resize(n);
  return path;
}
#else
// A standard stream that was closed (`>&-`) must not lend its number to a
// file the tool opens, or what it prints would go to a controller's node (a
// Windows handle is never a stream's number, so only here): it becomes
// /dev/null, opened the other way round so that every use fails as on a
// closed one.
void KeepStandardStreamsTaken() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF)
      ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
  }
}

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

std::filesystem::path OwnProgram() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error);
}
#endif

}  // namespace

CtlContext SystemContext() {
  static_assert(std::atomic<int>::is_always_lock_free);
#ifndef _WIN32
  KeepStandardStreamsTaken();
#endif
  CatchStopSignals();
  CtlContext context;
  context.stopSignal = [] { return stopSignal.load(); };
  context.makeBus = [] { return MakeDefaultBus(); };
  context.profile = CtlProfile();
  context.windowsClass = console::WindowsClass(SystemOsVersion());
  context.settings = OpenSystemRegistry();
  context.program = OwnProgram();
  context.installedPrograms = ORVELLE_INSTALLED_BIN_DIR;
  context.out = &std::cout;
  context.err = &std::cerr;
  return context;
}

}  // namespace orvelle::ctl
