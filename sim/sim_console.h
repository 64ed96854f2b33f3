#pragma once
// The line commands of orvelle-sim, shared by its prompt and its script mode.

#include <atomic>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

#include "sim/simulated_controller.h"

namespace orvelle {

class SimConsole {
 public:
  // `interrupted` is polled while a command waits (sleep, wait, idle, hold).
  SimConsole(
      SimulatedController& controller, std::ostream& out,
      std::function<bool()> interrupted = [] { return false; });
  ~SimConsole();
  SimConsole(const SimConsole&) = delete;
  SimConsole& operator=(const SimConsole&) = delete;

  // Runs one line; false when it asks to end the session.
  bool Execute(const std::string& line);
  // --log: every frame in and out; otherwise only notes are printed.
  void SetLogFrames(bool on);
  int Failures() const { return failures_; }
  void Print(const std::string& line);

 private:
  using Args = std::vector<std::string>;
  struct Command {
    const char* name;
    const char* usage;
    const char* help;
    bool (SimConsole::*run)(const Args& args, const std::string& rest);
  };
  static const std::vector<Command>& Commands();

  bool Fail(const std::string& message);
  bool Pause(std::chrono::milliseconds duration);

  bool Help(const Args&, const std::string&);
  bool Status(const Args&, const std::string&);
  bool Show(const Args&, const std::string&);
  bool Set(const Args&, const std::string& rest);
  bool Defaults(const Args&, const std::string&);
  bool Rule(const Args& args, const std::string&);
  bool Clear(const Args& args, const std::string&);
  bool SendFrame(const Args& args, const std::string&);
  bool Raw(const Args& args, const std::string&);
  bool Touch(const Args& args, const std::string&);
  bool Targets(const Args& args, const std::string&);
  bool Stop(const Args&, const std::string&);
  bool Idle(const Args& args, const std::string&);
  bool Wait(const Args& args, const std::string&);
  bool Sleep(const Args& args, const std::string&);
  bool Hold(const Args&, const std::string&);
  bool Unplug(const Args&, const std::string&);
  bool Plug(const Args& args, const std::string&);
  bool Log(const Args& args, const std::string&);
  bool Quit(const Args&, const std::string&);

  SimulatedController& controller_;
  std::ostream& out_;
  std::mutex outMutex_;
  std::function<bool()> interrupted_;
  std::atomic<bool> logFrames_{false};
  uint64_t waitMark_ = 0;
  int failures_ = 0;
  bool quit_ = false;
};

}  // namespace orvelle
