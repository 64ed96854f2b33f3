// orvelle-sim: a simulated touch controller that every program of the suite
// finds like a plugged-in one, with a prompt and a script mode.
#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "devlink/hid/sim_bus.h"
#include "platform/hex_text.h"
#include "sim/sim_console.h"

namespace {

using orvelle::ParseHex;
using orvelle::SimConsole;
using orvelle::SimControllerOptions;
using orvelle::SimulatedController;

std::atomic<bool> gInterrupted{false};

#ifdef _WIN32
std::atomic<SimulatedController*> gController{nullptr};

// Ctrl-C, Ctrl-Break or the console window closing end the program, which
// ends its pipes; the controller is unplugged first, so that its node goes too.
BOOL WINAPI OnConsoleEvent(DWORD) {
  gInterrupted.store(true);
  if (SimulatedController* controller = gController.load()) controller->Unplug();
  return FALSE;
}

void InstallSignalHandlers(SimulatedController& controller) {
  gController.store(&controller);
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

// Reads standard input line by line until end of input or quit.
void RunPrompt(SimConsole& console) {
  DWORD mode = 0;
  const bool terminal = ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode);
  if (terminal) std::cout << "orvelle-sim> " << std::flush;
  for (std::string line; !gInterrupted.load() && std::getline(std::cin, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!console.Execute(line)) return;
    if (terminal) std::cout << "orvelle-sim> " << std::flush;
  }
}
#else
int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
  gInterrupted.store(true);
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(gSignalPipe[1], &byte, 1);
}

void InstallSignalHandlers(SimulatedController&) {
  if (pipe(gSignalPipe) != 0) return;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

// Reads standard input line by line until end of input, quit or a signal.
void RunPrompt(SimConsole& console) {
  const bool terminal = isatty(STDIN_FILENO);
  std::string buffer;
  if (terminal) std::cout << "orvelle-sim> " << std::flush;
  while (!gInterrupted.load()) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {gSignalPipe[0], POLLIN, 0}};
    if (poll(fds, gSignalPipe[0] >= 0 ? 2 : 1, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents) return;
    char chunk[4096];
    const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (!buffer.empty()) console.Execute(buffer);
      return;
    }
    buffer.append(chunk, static_cast<size_t>(n));
    for (size_t end; (end = buffer.find('\n')) != std::string::npos;) {
      const std::string line = buffer.substr(0, end);
      buffer.erase(0, end + 1);
      if (!console.Execute(line)) return;
      if (terminal) std::cout << "orvelle-sim> " << std::flush;
    }
  }
}

#endif

#ifdef __linux__
const std::string kUsage =
    "usage: orvelle-sim [--dir D | --uhid] [--port N] [--identity VID:PID]\n"
    "                   [--ch3-output 4|8] [--state F] [--script F] [--log]\n"
    "  --dir D          simulator folder (default $ORVELLE_SIM_DIR, else\n"
    "                   $XDG_RUNTIME_DIR/orvelle-sim)\n"
    "  --uhid           plug into the kernel through /dev/uhid instead (a hidraw\n"
    "                   node; needs the uhid module and write access to /dev/uhid)\n"
    "  --port N         the USB port it is plugged into, 1 to 31 (default 1): the\n"
    "                   uhid node's phys usb-0000:00:14.0-N/input0, the node's\n"
    "                   name touch-VID-PID-N (touch-VID-PID at port 1); two\n"
    "                   simulators of one identity need two ports\n"
#else
const std::string kUsage =
    "usage: orvelle-sim [--dir D] [--port N] [--identity VID:PID] [--ch3-output 4|8]\n"
    "                   [--state F] [--script F] [--log]\n"
    "  --dir D          simulator folder (default %ORVELLE_SIM_DIR%, else\n"
    "                   %TEMP%\\orvelle-sim)\n"
    "  --port N         the USB port it is plugged into, 1 to 31 (default 1): the\n"
    "                   node's name touch-VID-PID-N (touch-VID-PID at port 1); two\n"
    "                   simulators of one identity need two ports\n"
#endif
    "  --identity V:P   vendor and product id in hexadecimal (default 2a5c:0013)\n"
    "  --ch3-output N   output report length of the vendor collection (default 4)\n"
    "  --state F        keep the controller's settings and calibration in F\n"
    "  --script F       run the commands in F, then read standard input\n"
    "  --log            print every frame in and out\n"
    "Type help at the prompt for the commands. Ctrl-C or end of input unplugs.\n";

// Four digits at most, after an optional "0x".
bool ParseHex16(std::string_view text, uint16_t& value) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  const auto parsed = ParseHex(text, 4);
  if (!parsed) return false;
  value = static_cast<uint16_t>(*parsed);
  return true;
}

struct CommandLine {
  SimControllerOptions options;
  std::string dir;
  std::string script;
  bool log = false;
};

bool ParseCommandLine(int argc, char** argv, CommandLine& cl) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--log") {
      cl.log = true;
#ifdef __linux__
    } else if (arg == "--uhid") {
      cl.options.transport = orvelle::SimTransport::Uhid;
#endif
    } else if (arg == "--dir" && hasValue) {
      cl.dir = argv[++i];
    } else if (arg == "--port" && hasValue) {
      const std::string v = argv[++i];
      char* end = nullptr;
      const long port = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || port < orvelle::kSimFirstPort ||
          port > orvelle::kSimLastPort) {
        return false;
      }
      cl.options.port = static_cast<int>(port);
    } else if (arg == "--state" && hasValue) {
      cl.options.stateFile = argv[++i];
    } else if (arg == "--script" && hasValue) {
      cl.script = argv[++i];
    } else if (arg == "--ch3-output" && hasValue) {
      const std::string v = argv[++i];
      if (v != "4" && v != "8") return false;
      cl.options.vendorOutputLength = static_cast<uint8_t>(v[0] - '0');
    } else if (arg == "--identity" && hasValue) {
      const std::string v = argv[++i];
      const size_t colon = v.find(':');
      if (colon == std::string::npos || !ParseHex16(v.substr(0, colon), cl.options.vendorId) ||
          !ParseHex16(v.substr(colon + 1), cl.options.productId)) {
        return false;
      }
    } else {
      return false;
    }
  }
  return true;
}

// False when the script asked to end the session.
bool RunScript(SimConsole& console, const std::string& path, bool& readable) {
  std::ifstream in(path);
  readable = in.is_open();
  if (!readable) return false;
  for (std::string line; std::getline(in, line);) {
    if (gInterrupted.load() || !console.Execute(line)) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine cl;
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::cout << kUsage;
    return 0;
  }
  if (!ParseCommandLine(argc, argv, cl)) {
    std::cerr << kUsage;
    return 2;
  }
  if (cl.options.transport == orvelle::SimTransport::Socket) {
    const std::string dir = cl.dir.empty() ? orvelle::DefaultSimDir() : cl.dir;
    cl.options.socketPath =
        orvelle::DefaultSocketPath(dir, cl.options.vendorId, cl.options.productId, cl.options.port);
  } else if (!cl.dir.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  SimulatedController controller(cl.options);
  InstallSignalHandlers(controller);
  SimConsole console(controller, std::cout, [] { return gInterrupted.load(); });
  console.SetLogFrames(cl.log);
  std::string error;
  if (!controller.Start(error)) {
    std::cerr << "orvelle-sim: " << error << "\n";
    return 1;
  }
  bool goOn = true;
  bool scriptFailed = false;
  if (!cl.script.empty()) {
    bool readable = false;
    goOn = RunScript(console, cl.script, readable);
    if (!readable) std::cerr << "orvelle-sim: cannot read " << cl.script << "\n";
    scriptFailed = !readable || console.Failures() > 0;
  }
  if (goOn) RunPrompt(console);
  controller.StopTouches();
  controller.Unplug();
  return scriptFailed ? 1 : 0;
}
