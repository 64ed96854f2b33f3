#pragma once
// A weston compositor of the test's own with the screenshooter, in a runtime
// folder of its own so that tests never meet another session's: on its
// headless back end, one output turned by a transform and XWayland for X11
// clients; or in windows of an X server, several outputs side by side.

#include <string>
#include <vector>

#include "tests/support/e2e/child_process.h"

namespace orvelle::e2e {

struct WestonOutputs {
  int width = 1280, height = 800;
  std::string transform = "normal";  // weston's: normal, rotate-90, rotate-180, rotate-270
  int count = 1;
  std::string xDisplay;  // where the outputs are windows; empty: headless, with XWayland
};

class Weston {
 public:
  bool Start(const std::string& folder, const WestonOutputs& outputs);
  // Environments for a Qt program on Qt's Wayland platform, and on its X11
  // platform through XWayland.
  std::vector<std::string> WaylandEnv(const std::vector<std::string>& more = {}) const;
  std::vector<std::string> X11Env(const std::vector<std::string>& more = {}) const;
  // The outputs' pixels as the panels show them (not turned), side by side, as a PNG.
  bool Screenshot(const std::string& path) const;
  const std::string& Log() const { return log_; }

 private:
  std::vector<std::string> Env(const std::vector<std::string>& overrides) const;

  ChildProcess server_;
  std::string folder_, runtimeDir_, log_, xDisplay_;
};

// For main(): where weston, XWayland, Xvfb or Qt's Wayland platform (looked for in
// Qt's plug-in folder) is missing,
// 77 (skipped), or 1 when ORVELLE_REQUIRE_DISPLAYS is set, so that a step
// meant to run them never passes without running; else 0.
int SkipWithoutWeston(const std::string& qtPluginFolder);

}  // namespace orvelle::e2e
