#include "tests/support/e2e/desktop.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <thread>

namespace orvelle::e2e {

using namespace std::chrono_literals;

// Without -noreset the server resets when its last client leaves, and a
// program started in that moment cannot connect.
bool VirtualDisplay::Start(const std::string& logFile) {
  if (!server_.Start({"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                      "-noreset"},
                     EnvironmentWith({}), logFile)) {
    return false;
  }
  // Xvfb writes the display number on a line of its own.
  std::string number;
  const auto written = [&] {
    std::istringstream lines(ReadFile(logFile));
    while (std::getline(lines, number))
      if (!number.empty() && number.find_first_not_of("0123456789") == std::string::npos)
        return true;
    number.clear();
    return !server_.Running();
  };
  WaitUntil(written, 10s);
  if (number.empty()) {
    server_.Stop();
    return false;
  }
  display_ = ":" + number;
  return true;
}

std::vector<std::string> Desktop::Env(const std::vector<std::string>& more) const {
  std::vector<std::string> overrides = {"DISPLAY=" + display_.Name(), "QT_QPA_PLATFORM=xcb"};
  overrides.insert(overrides.end(), more.begin(), more.end());
  return EnvironmentWith(overrides);
}

std::string Desktop::Xdotool(std::vector<std::string> args) const {
  args.insert(args.begin(), "xdotool");
  return RunCommand(args, Env());
}

std::string Desktop::Window(const std::string& title) const {
  // Only mapped windows: Qt names a window before it maps it, and focus
  // cannot go to an unmapped one.
  std::istringstream ids(Xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"}));
  std::string id;
  ids >> id;
  return id;
}

std::string Desktop::WaitForWindow(const std::string& title,
                                   std::chrono::milliseconds limit) const {
  std::string id;
  WaitUntil([&] { return !(id = Window(title)).empty(); }, limit);
  return id;
}

bool Desktop::WaitWindowGone(const std::string& title) const {
  return WaitUntil([&] { return Window(title).empty(); }, 10s);
}

void Desktop::Keys(const std::string& window, const std::vector<std::string>& keys) const {
  Xdotool({"windowfocus", "--sync", window});
  std::vector<std::string> args = {"key", "--delay", "50"};
  args.insert(args.end(), keys.begin(), keys.end());
  Xdotool(args);
}

void Desktop::Screenshot(const std::string& window, const std::string& name) const {
  const char* folder = std::getenv("ORVELLE_SCREENSHOT_DIR");
  if (!folder || !OnPath("import")) return;
  // A window just mapped or changed may not have painted yet.
  std::this_thread::sleep_for(500ms);
  RunCommand({"import", "-window", window, std::string(folder) + "/" + name}, Env());
}

void DesktopTest::SetUp() {
  std::filesystem::create_directories(folder_.File("sim"));
  ASSERT_TRUE(display_.Start(folder_.File("xvfb.log")));
}

std::vector<std::string> DesktopTest::Env(const std::vector<std::string>& more) const {
  std::vector<std::string> overrides = {"ORVELLE_SIM_DIR=" + folder_.File("sim"),
                                        "ORVELLE_MESSAGE_BOXES=log"};
  overrides.insert(overrides.end(), more.begin(), more.end());
  return desktop_.Env(overrides);
}

bool DesktopTest::StartSimulator(const std::string& command) {
  return sim_.Start({command, "--dir", folder_.File("sim"), "--log"}, Env(),
                    folder_.File("sim.log")) &&
         LogHas("sim.log", "plugged in");
}

bool DesktopTest::LogHas(const std::string& name, const std::string& text) const {
  return WaitUntil([&] { return Log(name).find(text) != std::string::npos; }, 10s);
}

int SkipWithoutDesktopTools() {
  for (const char* tool : {"Xvfb", "xdotool"}) {
    if (!OnPath(tool)) {
      std::printf("skipped: %s is not installed\n", tool);
      return 77;
    }
  }
  return 0;
}

}  // namespace orvelle::e2e
