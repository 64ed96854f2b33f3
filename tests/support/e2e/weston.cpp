#include "tests/support/e2e/weston.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>

namespace orvelle::e2e {

using namespace std::chrono_literals;

namespace {

constexpr const char* kSocket = "wayland-orvelle-test";

}  // namespace

// The pixman renderer, because the headless default draws nothing that a
// screenshot could read; --debug lets any client take one.
bool Weston::Start(const std::string& folder, const WestonOutputs& outputs) {
  folder_ = folder;
  runtimeDir_ = folder + "/runtime";
  log_ = folder + "/weston.log";
  std::filesystem::create_directories(runtimeDir_);
  chmod(runtimeDir_.c_str(), 0700);
  const bool headless = outputs.xDisplay.empty();
  // XWayland's socket folder, which an X server makes itself but weston does
  // not: on a machine where no X server ever ran, XWayland could not listen.
  const std::filesystem::path xSockets = "/tmp/.X11-unix";
  std::error_code ec;
  if (headless && std::filesystem::create_directory(xSockets, ec)) chmod(xSockets.c_str(), 01777);
  std::vector<std::string> argv = {"weston",
                                   "--use-pixman",
                                   "--width=" + std::to_string(outputs.width),
                                   "--height=" + std::to_string(outputs.height),
                                   std::string("--socket=") + kSocket,
                                   "--debug",
                                   "--idle-time=0",
                                   "--no-config"};
  if (headless) {
    argv.insert(argv.end(), {"--backend=headless-backend.so", "--transform=" + outputs.transform,
                             "--xwayland"});
  } else {
    argv.insert(argv.end(),
                {"--backend=x11-backend.so", "--output-count=" + std::to_string(outputs.count)});
  }
  if (!server_.Start(argv,
                     EnvironmentWith({"XDG_RUNTIME_DIR=" + runtimeDir_, "WAYLAND_DISPLAY",
                                      headless ? "DISPLAY" : "DISPLAY=" + outputs.xDisplay}),
                     log_)) {
    return false;
  }
  // Ready once its socket is there, and XWayland once it listens; weston
  // chooses XWayland's display number.
  const std::string socket = runtimeDir_ + "/" + kSocket;
  const std::regex listening("xserver listening on display (:[0-9]+)");
  const bool ready = WaitUntil(
      [&] {
        if (!server_.Running()) return true;
        if (!headless) return std::filesystem::exists(socket);
        const std::string text = ReadFile(log_);
        std::smatch match;
        if (std::regex_search(text, match, listening)) xDisplay_ = match[1];
        return !xDisplay_.empty();
      },
      20s);
  if (!ready || !server_.Running()) {
    server_.Stop();
    return false;
  }
  return true;
}

std::vector<std::string> Weston::Env(const std::vector<std::string>& overrides) const {
  std::vector<std::string> all = {"XDG_RUNTIME_DIR=" + runtimeDir_};
  all.insert(all.end(), overrides.begin(), overrides.end());
  return EnvironmentWith(all);
}

std::vector<std::string> Weston::WaylandEnv(const std::vector<std::string>& more) const {
  std::vector<std::string> overrides = {std::string("WAYLAND_DISPLAY=") + kSocket, "DISPLAY",
                                        "QT_QPA_PLATFORM=wayland"};
  overrides.insert(overrides.end(), more.begin(), more.end());
  return Env(overrides);
}

std::vector<std::string> Weston::X11Env(const std::vector<std::string>& more) const {
  std::vector<std::string> overrides = {"WAYLAND_DISPLAY", "DISPLAY=" + xDisplay_,
                                        "QT_QPA_PLATFORM=xcb"};
  overrides.insert(overrides.end(), more.begin(), more.end());
  return Env(overrides);
}

// The screenshooter writes a file named by the time into its working folder.
bool Weston::Screenshot(const std::string& path) const {
  const std::string shots = folder_ + "/shots";
  std::filesystem::remove_all(shots);
  std::filesystem::create_directories(shots);
  RunCommand({"sh", "-c", "cd \"$0\" && exec weston-screenshooter", shots},
             Env({std::string("WAYLAND_DISPLAY=") + kSocket}), 20s);
  for (const auto& entry : std::filesystem::directory_iterator(shots)) {
    std::error_code ec;
    std::filesystem::rename(entry.path(), path, ec);
    return !ec;
  }
  return false;
}

int SkipWithoutWeston(const std::string& qtPluginFolder) {
  const bool qtWayland =
      std::filesystem::exists(qtPluginFolder + "/platforms/libqwayland-generic.so");
  const char* missing = !OnPath("weston")                 ? "weston"
                        : !OnPath("weston-screenshooter") ? "weston-screenshooter"
                        : !OnPath("Xwayland")             ? "Xwayland"
                        : !OnPath("Xvfb")                 ? "Xvfb"
                        : !qtWayland                      ? "qt6-wayland"
                                                          : nullptr;
  if (!missing) return 0;
  if (std::getenv("ORVELLE_REQUIRE_DISPLAYS")) {
    std::printf("failed: %s is not installed, and this run must not skip\n", missing);
    return 1;
  }
  std::printf("skipped: %s is not installed\n", missing);
  return 77;
}

}  // namespace orvelle::e2e
