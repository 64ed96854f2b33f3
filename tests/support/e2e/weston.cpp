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
bool HeadlessWeston::Start(const std::string& folder, int width, int height,
                           const std::string& transform) {
  folder_ = folder;
  runtimeDir_ = folder + "/runtime";
  log_ = folder + "/weston.log";
  std::filesystem::create_directories(runtimeDir_);
  chmod(runtimeDir_.c_str(), 0700);
  if (!server_.Start(
          {"weston", "--backend=headless-backend.so", "--use-pixman",
           "--width=" + std::to_string(width), "--height=" + std::to_string(height),
           "--transform=" + transform, std::string("--socket=") + kSocket, "--xwayland", "--debug",
           "--idle-time=0", "--no-config"},
          EnvironmentWith({"XDG_RUNTIME_DIR=" + runtimeDir_, "WAYLAND_DISPLAY", "DISPLAY"}),
          log_)) {
    return false;
  }
  // XWayland listens once weston is ready; weston chooses its display number.
  const std::regex listening("xserver listening on display (:[0-9]+)");
  std::smatch match;
  const bool ready = WaitUntil(
      [&] {
        const std::string text = ReadFile(log_);
        if (std::regex_search(text, match, listening)) return true;
        return !server_.Running();
      },
      20s);
  if (!ready || match.empty()) {
    server_.Stop();
    return false;
  }
  xDisplay_ = match[1];
  return true;
}

std::vector<std::string> HeadlessWeston::Env(const std::vector<std::string>& overrides) const {
  std::vector<std::string> all = {"XDG_RUNTIME_DIR=" + runtimeDir_};
  all.insert(all.end(), overrides.begin(), overrides.end());
  return EnvironmentWith(all);
}

std::vector<std::string> HeadlessWeston::WaylandEnv(const std::vector<std::string>& more) const {
  std::vector<std::string> overrides = {std::string("WAYLAND_DISPLAY=") + kSocket, "DISPLAY",
                                        "QT_QPA_PLATFORM=wayland"};
  overrides.insert(overrides.end(), more.begin(), more.end());
  return Env(overrides);
}

std::vector<std::string> HeadlessWeston::X11Env(const std::vector<std::string>& more) const {
  std::vector<std::string> overrides = {"WAYLAND_DISPLAY", "DISPLAY=" + xDisplay_,
                                        "QT_QPA_PLATFORM=xcb"};
  overrides.insert(overrides.end(), more.begin(), more.end());
  return Env(overrides);
}

// The screenshooter writes a file named by the time into its working folder.
bool HeadlessWeston::Screenshot(const std::string& path) const {
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
