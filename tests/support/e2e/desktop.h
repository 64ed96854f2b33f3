#pragma once
// What the end-to-end tests need of a desktop: an X server of the test's own,
// found windows, keys and clicks through xdotool, and screenshots into
// $ORVELLE_SCREENSHOT_DIR when it is set.

#include <gtest/gtest.h>

#include <QImage>
#include <QRect>
#include <QSize>
#include <chrono>
#include <string>
#include <vector>

#include "tests/support/e2e/child_process.h"
#include "tests/support/e2e/kept_on_failure.h"
#include "tests/support/temp_folder.h"

namespace orvelle::e2e {

using orvelle::testing::TempFolder;

// An X server of the test's own. Xvfb picks a free display itself and writes
// its number once it accepts connections, so tests that start servers at the
// same time never share one. Its screen is a file in `folder`, beside its log.
class VirtualDisplay {
 public:
  VirtualDisplay();
  bool Start(const std::string& folder, QSize size = {1280, 1024});
  const std::string& Name() const { return display_; }
  QImage Picture() const;  // what the screen shows; a failed test keeps it

 private:
  ChildProcess server_;
  std::string display_, folder_;
  KeptOnFailure keptPicture_;
};

class Desktop {
 public:
  explicit Desktop(const VirtualDisplay& display) : display_(display) {}

  std::vector<std::string> Env(const std::vector<std::string>& more = {}) const;
  std::string Xdotool(std::vector<std::string> args) const;
  // The mapped window with exactly this title, or "" when there is none.
  std::string Window(const std::string& title) const;
  std::string WaitForWindow(const std::string& title,
                            std::chrono::milliseconds limit = std::chrono::seconds(15)) const;
  bool WaitWindowGone(const std::string& title) const;
  void Keys(const std::string& window, const std::vector<std::string>& keys) const;
  // Where the window is on the screen; empty when it is not there.
  QRect Geometry(const std::string& window) const;
  // The window's picture into $ORVELLE_SCREENSHOT_DIR, once it stopped changing.
  void Screenshot(const std::string& window, const std::string& name) const;

 private:
  const VirtualDisplay& display_;
};

// xdotool on X display `display`; its standard output.
std::string Xdotool(const std::string& display, std::vector<std::string> args);

// For main(): 77 (skipped) when Xvfb or xdotool is missing, else 0.
int SkipWithoutDesktopTools();
// A main's checks before the tests (a skip, or 0), and the tests, whose
// failures keep what they saw.
int RunDesktopTests(int argc, char** argv, const std::function<int()>& skip);

// A program's end-to-end test: an X server of its own, and orvelle-sim at its
// prompt; each writes a log into the test's folder.
class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override;
  std::vector<std::string> Env(const std::vector<std::string>& more = {}) const;
  // The simulator, once it has plugged its controller in.
  bool StartSimulator(const std::string& command);
  std::string Log(const std::string& name) const { return ReadFile(folder_.File(name)); }
  // Waits until the log holds `text`.
  bool LogHas(const std::string& name, const std::string& text) const;

  TempFolder folder_;
  VirtualDisplay display_;
  Desktop desktop_{display_};
  ChildProcess sim_;
};

}  // namespace orvelle::e2e
