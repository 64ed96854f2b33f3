#include "tests/kernel/kernel_fixture.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "devlink/hid/hidraw_sysfs.h"

namespace orvelle::kernel {
namespace {

int EntriesIn(const char* folder) {
  int count = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder))
    ++count;
  return count;
}

}  // namespace

std::string Setting(const char* name) {
  const char* value = std::getenv(name);
  EXPECT_TRUE(value && *value) << name << " is not set";
  return value ? value : "";
}

SimControllerOptions ThroughUhid() {
  SimControllerOptions options;
  options.transport = SimTransport::Uhid;
  return options;
}

std::string ReadText(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

std::vector<HidCollection> WaitForController(HidBus& bus, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    std::vector<HidCollection> mine;
    for (auto& c : bus.Enumerate()) {
      if (c.path.rfind(kStableNode + "#", 0) == 0) mine.push_back(std::move(c));
    }
    if (mine.size() == 6) return mine;
    if (std::chrono::steady_clock::now() > deadline) return {};
    std::this_thread::sleep_for(10ms);
  }
}

std::string NodeAtPort(const std::string& phys) {
  for (const auto& name : ListHidrawNodes("/sys")) {
    if (ParseHidPhys(NodeUevent("/dev/" + name)) == phys) return "/dev/" + name;
  }
  return {};
}

std::string NodeUevent(const std::string& node) {
  const std::string name = std::filesystem::path(node).filename();
  return ReadText("/sys/class/hidraw/" + name + "/device/uevent");
}

CommandResult Shell(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;)
    result.output.append(chunk, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Program(const std::string& name, const std::string& arguments) {
  return Setting("ORVELLE_BIN_DIR") + "/" + name + " " + arguments;
}

void Figure(const std::string& name, double value, const std::string& unit) {
  std::printf("figure: %s = %.3g %s\n", name.c_str(), value, unit.c_str());
  std::fflush(stdout);
}

int OpenDescriptorCount() {
  return EntriesIn("/proc/self/fd");
}

int ThreadCount() {
  return EntriesIn("/proc/self/task");
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

}  // namespace orvelle::kernel
