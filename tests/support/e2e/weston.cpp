#include "tests/support/e2e/weston.h"

#include "tests/support/e2e/desktop.h"

#include <sys/stat.h>

#include <QLibraryInfo>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace orvelle::e2e {

using namespace std::chrono_literals;

namespace {

constexpr const char* kSocket = "wayland-orvelle-test";

// The outputs in the scene graph's entry of the first view whose heading
// holds `view`: "outputs: 0 (screen0) (primary), 1 (screen1)".
std::vector<std::string> OutputsOfView(const std::string& graph, const std::string& view) {
  const size_t heading = graph.find(view);
  const size_t outputs = graph.find("outputs:", heading);
  if (heading == std::string::npos || outputs == std::string::npos) return {};
  const std::string line = graph.substr(outputs, graph.find('\n', outputs) - outputs);
  const std::regex name("\\(([^()]+)\\)");
  std::vector<std::string> names;
  for (std::sregex_iterator m(line.begin(), line.end(), name), end; m != end; ++m)
    if ((*m)[1] != "primary") names.push_back((*m)[1]);
  return names;
}

}  // namespace

Weston::Weston()
    : keptView_([this](const std::filesystem::path& folder, int failure) {
        if (!server_.Running()) return;
        const std::string name = "weston-" + std::to_string(failure);
        Picture().save(QString::fromStdString((folder / (name + ".png")).string()));
        std::ofstream(folder / (name + "-scene.txt")) << SceneGraph();
      }) {}

// The pixman renderer, because the headless default draws nothing that a
// screenshot could read; --debug lets any client take one.
bool Weston::Start(const std::string& folder, const WestonOutputs& outputs) {
  folder_ = folder;
  outputs_ = outputs;
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
        if (std::regex_search(text, match, listening)) xwaylandDisplay_ = match[1];
        return !xwaylandDisplay_.empty();
      },
      20s);
  if (!ready || !server_.Running() || (!headless && !PlaceOutputWindows())) {
    server_.Stop();
    return false;
  }
  return true;
}

// The X server puts every output's window at its top left, one over the
// other; side by side, the pointer over one is over that output alone.
// xdotool's search by name does not see weston's titles, its class does.
bool Weston::PlaceOutputWindows() {
  outputWindows_.assign(static_cast<size_t>(outputs_.count), "");
  const bool found = WaitUntil(
      [&] {
        std::istringstream windows(Xdotool(outputs_.xDisplay, {"search", "--class", "Weston"}));
        for (std::string id; windows >> id;) {
          const std::string name = Xdotool(outputs_.xDisplay, {"getwindowname", id});
          for (size_t i = 0; i < outputWindows_.size(); ++i)
            if (name == "Weston Compositor - screen" + std::to_string(i) + "\n")
              outputWindows_[i] = id;
        }
        return std::none_of(outputWindows_.begin(), outputWindows_.end(),
                            [](const std::string& id) { return id.empty(); });
      },
      20s);
  if (!found) return false;
  for (size_t i = 0; i < outputWindows_.size(); ++i)
    Xdotool(outputs_.xDisplay, {"windowmove", "--sync", outputWindows_[i],
                                std::to_string(static_cast<int>(i) * outputs_.width), "0"});
  return true;
}

std::string Weston::SceneGraph() const {
  return RunCommand({"weston-debug", "scene-graph"},
                    Env({std::string("WAYLAND_DISPLAY=") + kSocket}));
}

// Weston follows the X pointer's motions over its windows; the cursor that
// its desktop sets shows where it has it. Each look moves the pointer again.
bool Weston::PointerOnto(int index) {
  if (index < 0 || static_cast<size_t>(index) >= outputWindows_.size()) return false;
  const std::vector<std::string> output = {"screen" + std::to_string(index)};
  int moves = 0;
  return WaitUntil(
      [&] {
        Xdotool(outputs_.xDisplay,
                {"mousemove", "--window", outputWindows_[static_cast<size_t>(index)],
                 std::to_string(outputs_.width / 2 + moves++ % 2),
                 std::to_string(outputs_.height / 2)});
        return OutputsOfView(SceneGraph(), "role wl_pointer-cursor,") == output;
      },
      20s);
}

std::vector<std::string> Weston::OutputsOfWindow(pid_t pid, std::chrono::milliseconds limit) const {
  const std::string view = "role xdg_toplevel, PID " + std::to_string(pid) + ",";
  std::vector<std::string> outputs;
  WaitUntil([&] { return !(outputs = OutputsOfView(SceneGraph(), view)).empty(); }, limit);
  return outputs;
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
  std::vector<std::string> overrides = {"WAYLAND_DISPLAY", "DISPLAY=" + xwaylandDisplay_,
                                        "QT_QPA_PLATFORM=xcb"};
  overrides.insert(overrides.end(), more.begin(), more.end());
  return Env(overrides);
}

// The screenshooter writes a file named by the time into its working folder.
QImage Weston::Picture() const {
  const std::string shots = folder_ + "/shots";
  std::filesystem::remove_all(shots);
  std::filesystem::create_directories(shots);
  RunCommand({"sh", "-c", "cd \"$0\" && exec weston-screenshooter", shots},
             Env({std::string("WAYLAND_DISPLAY=") + kSocket}), 20s);
  for (const auto& entry : std::filesystem::directory_iterator(shots))
    return QImage(QString::fromStdString(entry.path().string()));
  return {};
}

// Qt's Wayland platform is looked for in Qt's plug-in folder.
int SkipWithoutWeston() {
  const std::string plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString();
  const bool qtWayland = std::filesystem::exists(plugins + "/platforms/libqwayland-generic.so");
  const char* missing = !OnPath("weston")                 ? "weston"
                        : !OnPath("weston-screenshooter") ? "weston-screenshooter"
                        : !OnPath("weston-debug")         ? "weston-debug"
                        : !OnPath("Xwayland")             ? "Xwayland"
                        : !OnPath("Xvfb")                 ? "Xvfb"
                        : !OnPath("xdotool")              ? "xdotool"
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
