#include "tests/support/e2e/desktop.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

namespace orvelle::e2e {

using namespace std::chrono_literals;

VirtualDisplay::VirtualDisplay()
    : keptPicture_([this](const std::filesystem::path& folder, int failure) {
        const QImage picture = Picture();
        if (!picture.isNull())
          picture.save(QString::fromStdString(
              (folder / ("x-display-" + std::to_string(failure) + ".png")).string()));
      }) {}

// Without -noreset the server resets when its last client leaves, and a
// program started in that moment cannot connect. Without -nocursor the
// screen file, and so every picture, would show the pointer.
bool VirtualDisplay::Start(const std::string& folder, QSize size) {
  folder_ = folder;
  std::filesystem::create_directories(folder);
  const std::string logFile = folder + "/xvfb.log";
  const std::string screen =
      std::to_string(size.width()) + "x" + std::to_string(size.height()) + "x24";
  if (!server_.Start({"Xvfb", "-displayfd", "1", "-screen", "0", screen, "-fbdir", folder,
                      "-nocursor", "-nolisten", "tcp", "-noreset"},
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

// The screen file is an X window dump: a header of big-endian 32-bit fields
// (0 its size, 4 and 5 width and height, 7 byte order, 11 bits per pixel, 12
// bytes per line, 19 colours), the colours, 12 bytes each, then the pixels.
QImage VirtualDisplay::Picture() const {
  const std::string dump = ReadFile(folder_ + "/Xvfb_screen0");
  const auto field = [&](size_t i) -> size_t {
    const auto* b = reinterpret_cast<const uint8_t*>(dump.data()) + 4 * i;
    return dump.size() < 4 * i + 4 ? 0 : size_t(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
  };
  const size_t pixels = field(0) + 12 * field(19), height = field(5), line = field(12);
  if (field(7) != 0 || field(11) != 32 || height == 0 || dump.size() < pixels + line * height)
    return {};
  return QImage(reinterpret_cast<const uchar*>(dump.data() + pixels), int(field(4)), int(height),
                int(line), QImage::Format_RGB32)
      .copy();
}

std::vector<std::string> Desktop::Env(const std::vector<std::string>& more) const {
  std::vector<std::string> overrides = {"DISPLAY=" + display_.Name(), "QT_QPA_PLATFORM=xcb"};
  overrides.insert(overrides.end(), more.begin(), more.end());
  return EnvironmentWith(overrides);
}

std::string Xdotool(const std::string& display, std::vector<std::string> args) {
  args.insert(args.begin(), "xdotool");
  return RunCommand(args, EnvironmentWith({"DISPLAY=" + display}));
}

std::string Desktop::Xdotool(std::vector<std::string> args) const {
  return e2e::Xdotool(display_.Name(), std::move(args));
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

QRect Desktop::Geometry(const std::string& window) const {
  int x = 0, y = 0, width = 0, height = 0;
  std::istringstream shell(Xdotool({"getwindowgeometry", "--shell", window}));
  for (std::string line; std::getline(shell, line);) {
    std::sscanf(line.c_str(), "X=%d", &x);
    std::sscanf(line.c_str(), "Y=%d", &y);
    std::sscanf(line.c_str(), "WIDTH=%d", &width);
    std::sscanf(line.c_str(), "HEIGHT=%d", &height);
  }
  return {x, y, width, height};
}

// A window just mapped or changed may not have painted yet: its picture is
// taken once two looks a moment apart agree.
void Desktop::Screenshot(const std::string& window, const std::string& name) const {
  const char* folder = std::getenv("ORVELLE_SCREENSHOT_DIR");
  if (!folder) return;
  const QRect area = Geometry(window);
  QImage seen;
  WaitUntil(
      [&] {
        const QImage now = display_.Picture().copy(area);
        const bool settled = !now.isNull() && now == seen;
        seen = now;
        return settled;
      },
      10s);
  seen.save(QString::fromStdString(std::string(folder) + "/" + name));
}

void DesktopTest::SetUp() {
  std::filesystem::create_directories(folder_.File("sim"));
  ASSERT_TRUE(display_.Start(folder_.File("x")));
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

int RunDesktopTests(int argc, char** argv, const std::function<int()>& skip) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!::testing::GTEST_FLAG(list_tests)) {  // listing works everywhere
    if (const int status = skip()) return status;
  }
  KeepWhatFailedTestsSaw();
  return RUN_ALL_TESTS();
}

}  // namespace orvelle::e2e
