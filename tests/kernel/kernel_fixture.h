#pragma once
// What the tests inside the kernel test machine and its benchmark share: the
// simulated controller plugged in through /dev/uhid, the real hidraw bus, the
// programs of the build run as processes, and the figures they print.

#include <chrono>
#include <string>
#include <vector>

#include "devlink/hid/bus.h"
#include "sim/simulated_controller.h"

namespace orvelle::kernel {

using namespace std::chrono_literals;

// The node part of every collection path of the uhid controller.
inline const std::string kStableNode = std::string("/dev/hidraw@") + SimUsbPhys();

// The variable's value; the test fails when it is not set.
std::string Setting(const char* name);

// The simulated controller, plugged in through /dev/uhid when started.
SimControllerOptions ThroughUhid();

// A file's whole text; empty when it cannot be read.
std::string ReadText(const std::string& path);

// The controller's collections, once the kernel made its node; empty when
// they did not all come within `limit`.
std::vector<HidCollection> WaitForController(HidBus& bus, std::chrono::milliseconds limit = 10s);

// "/dev/hidrawN" of the first node at `phys`, empty when none.
std::string NodeAtPort(const std::string& phys);
// The node's uevent text (DRIVER=, HID_ID=, HID_PHYS=).
std::string NodeUevent(const std::string& node);

struct CommandResult {
  int status = -1;
  std::string output;  // standard output and error together
};
// Runs a shell command line to its end.
CommandResult Shell(const std::string& command);
// One of the build's programs with its arguments, as a shell command line.
std::string Program(const std::string& name, const std::string& arguments);

// Prints "figure: NAME = VALUE UNIT" for the step to collect.
void Figure(const std::string& name, double value, const std::string& unit);

// Descriptors and threads of this process.
int OpenDescriptorCount();
int ThreadCount();

double Median(std::vector<double> values);

using Clock = std::chrono::steady_clock;
double Milliseconds(Clock::duration duration);

}  // namespace orvelle::kernel
