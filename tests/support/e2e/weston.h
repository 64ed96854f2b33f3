#pragma once
// A weston compositor of the test's own with the screenshooter, in a runtime
// folder of its own so that tests never meet another session's: on its
// headless back end, one output turned by a transform and XWayland for X11
// clients; or in windows of an X server, several outputs side by side. A
// failed test keeps its picture and its account of where things are.

#include <sys/types.h>

#include <QImage>
#include <chrono>
#include <string>
#include <vector>

#include "tests/support/e2e/child_process.h"
#include "tests/support/e2e/kept_on_failure.h"

namespace orvelle::e2e {

struct WestonOutputs {
  int width = 1280, height = 800;
  std::string transform = "normal";  // weston's: normal, rotate-90, rotate-180, rotate-270
  int count = 1;
  std::string xDisplay;  // `count` outputs wide; empty: headless, with XWayland
};

class Weston {
 public:
  Weston();
  // Ready once clients can connect and every output's window is in its place.
  bool Start(const std::string& folder, const WestonOutputs& outputs);
  // Environments for a Qt program on Qt's Wayland platform, and on its X11
  // platform through XWayland.
  std::vector<std::string> WaylandEnv(const std::vector<std::string>& more = {}) const;
  std::vector<std::string> X11Env(const std::vector<std::string>& more = {}) const;
  // The outputs' pixels as the panels show them (not turned), side by side.
  QImage Picture() const;
  // Weston's own account of its outputs, layers and views (weston-debug).
  std::string SceneGraph() const;
  // Once weston has its pointer over output `index` (of outputs in windows),
  // where it opens new windows.
  bool PointerOnto(int index);
  // The outputs ("screen1", ...) of the top-level window of process `pid`,
  // once weston shows one; empty when none came within `limit`.
  std::vector<std::string> OutputsOfWindow(pid_t pid, std::chrono::milliseconds limit) const;
  const std::string& Log() const { return log_; }

 private:
  std::vector<std::string> Env(const std::vector<std::string>& overrides) const;
  bool PlaceOutputWindows();

  ChildProcess server_;
  WestonOutputs outputs_;
  std::string folder_, runtimeDir_, log_, xwaylandDisplay_;
  std::vector<std::string> outputWindows_;  // X window of each output
  KeptOnFailure keptView_;
};

// For main(): where weston, XWayland, Xvfb, xdotool or Qt's Wayland platform
// is missing, 77 (skipped), or 1 when ORVELLE_REQUIRE_DISPLAYS is set, so that
// a step meant to run them never passes without running; else 0.
int SkipWithoutWeston();

}  // namespace orvelle::e2e
