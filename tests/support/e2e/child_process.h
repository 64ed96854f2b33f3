#pragma once
// Programs started by the end-to-end tests: output to a file, which a failed
// test keeps; standard input held open; ended on destruction.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/e2e/kept_on_failure.h"
#include "tests/support/wait_until.h"

namespace orvelle::e2e {

// The environment of this process with `overrides` ("NAME=value") applied;
// "NAME" alone removes the variable.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides);

class ChildProcess {
 public:
  ChildProcess();
  ~ChildProcess();  // ends the process if it still runs
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Standard output and error go to `outputFile`; standard input is a pipe
  // that stays open until the process ends.
  bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
             const std::string& outputFile);
  // Writes `line` and a line end to the program's standard input.
  bool Input(const std::string& line);
  bool Running();
  pid_t Pid() const { return pid_; }
  // The exit status, or -1 when the process did not end within `limit`.
  int WaitExit(std::chrono::milliseconds limit);
  void Stop();

 private:
  pid_t pid_ = -1;
  int stdinWrite_ = -1;
  int status_ = -1;
  std::vector<std::string> outputFiles_;  // every run's
  KeptOnFailure keptOutputs_;
};

// Runs a short command to its end and returns its standard output; empty
// when it fails or takes longer than `limit`.
std::string RunCommand(const std::vector<std::string>& argv,
                       const std::vector<std::string>& environment,
                       std::chrono::milliseconds limit = std::chrono::seconds(10));

// Processes, files and windows are looked at every 50 ms.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return testing::WaitUntil(done, limit, std::chrono::milliseconds(50));
}

std::string ReadFile(const std::string& path);
// True when `name` is an executable in one of the folders of $PATH.
bool OnPath(const std::string& name);

}  // namespace orvelle::e2e
