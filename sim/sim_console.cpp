#include "sim/sim_console.h"

#include <charconv>
#include <cstdio>
#include <map>
#include <ostream>
#include <sstream>
#include <thread>

#include "devlink/protocol.h"
#include "platform/hex_text.h"
#include "sim/state_file.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;

bool ParseNumber(const std::string& text, long low, long high, long& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty() && value >= low && value <= high;
}

bool ParseRate(const std::string& text, double& rate) {
  long value = 0;
  if (!ParseNumber(text, 0, 100000, value)) return false;
  rate = static_cast<double>(value);
  return true;
}

bool ParseHexBytes(const std::vector<std::string>& tokens, size_t first,
                   std::vector<uint8_t>& bytes) {
  for (size_t i = first; i < tokens.size(); ++i) {
    std::string_view t = tokens[i];
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t.remove_prefix(2);
    const auto value = ParseHex(t, 2);
    if (!value) return false;
    bytes.push_back(static_cast<uint8_t>(*value));
  }
  return true;
}

bool ParsePoint(const std::string& text, RawPoint& point) {
  const size_t comma = text.find(',');
  long x = 0, y = 0;
  if (comma == std::string::npos || !ParseNumber(text.substr(0, comma), 0, 4095, x) ||
      !ParseNumber(text.substr(comma + 1), 0, 4095, y)) {
    return false;
  }
  point = {static_cast<uint16_t>(x), static_cast<uint16_t>(y)};
  return true;
}

// "once" or "always" at args[index]; `always` when absent.
bool ParseRepeat(const std::vector<std::string>& args, size_t index, bool& once) {
  once = false;
  if (args.size() <= index) return true;
  if (args.size() > index + 1) return false;
  once = args[index] == "once";
  return once || args[index] == "always";
}

}  // namespace

SimConsole::SimConsole(SimulatedController& controller, std::ostream& out,
                       std::function<bool()> interrupted)
    : controller_(controller), out_(out), interrupted_(std::move(interrupted)) {
  waitMark_ = controller_.Events().LastSeq();
  controller_.Events().SetObserver([this](const SimEvent& e) {
    if (e.kind == SimEvent::Kind::Note || logFrames_.load()) Print(FormatEvent(e));
  });
}

SimConsole::~SimConsole() {
  controller_.Events().SetObserver(nullptr);
}

void SimConsole::Print(const std::string& line) {
  std::lock_guard lock(outMutex_);
  out_ << line << std::endl;
}

void SimConsole::SetLogFrames(bool on) {
  logFrames_.store(on);
}

bool SimConsole::Fail(const std::string& message) {
  ++failures_;
  Print("error: " + message);
  return false;
}

bool SimConsole::Pause(std::chrono::milliseconds duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) {
    if (interrupted_()) return false;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        20ms, end - std::chrono::steady_clock::now()));
  }
  return true;
}

const std::vector<SimConsole::Command>& SimConsole::Commands() {
  static const std::vector<Command> kCommands = {
      {"help", "help", "list the commands", &SimConsole::Help},
      {"status", "status", "plug state, opens, calibration run and fault rules",
       &SimConsole::Status},
      {"show", "show", "the controller's stored state, one setting a line", &SimConsole::Show},
      {"set", "set KEY VALUE", "change a setting as `show` names it (e.g. set model ABC-1234)",
       &SimConsole::Set},
      {"defaults", "defaults", "restore every setting, text and calibration to its default",
       &SimConsole::Defaults},
      {"refuse", "refuse CMD [once|always]", "answer CMD with status 0 and change nothing",
       &SimConsole::Rule},
      {"silent", "silent CMD [once|always]", "lose CMD: no processing, no answer",
       &SimConsole::Rule},
      {"delay", "delay CMD MS [once|always]", "answer CMD after MS milliseconds",
       &SimConsole::Rule},
      {"malformed", "malformed CMD terminator|length|reportid [once|always]",
       "answer CMD with a broken frame", &SimConsole::Rule},
      {"clear", "clear CMD|all", "remove the fault rules of CMD, or all", &SimConsole::Clear},
      {"send", "send CMD [HEX...]", "send an unsolicited frame with this payload",
       &SimConsole::SendFrame},
      {"raw", "raw HEX...", "send any input report (report ID first)", &SimConsole::Raw},
      {"touch", "touch X Y [COUNT [RATE [JITTER]]]",
       "touch at a raw position: COUNT reports (110) at RATE/s (200), then a lift",
       &SimConsole::Touch},
      {"targets", "targets [rate=R] [count=N] [jitter=J] [gap=MS] [X,Y...]",
       "once calibrating, touch each target of the mode in order (nominal or given positions)",
       &SimConsole::Targets},
      {"stop", "stop", "end every touch stream and target run", &SimConsole::Stop},
      {"idle", "idle [MS]", "wait until touch streams and target runs have ended",
       &SimConsole::Idle},
      {"wait", "wait CMD [MS]", "wait until CMD arrives (after the previous wait)",
       &SimConsole::Wait},
      {"sleep", "sleep MS", "pause the script", &SimConsole::Sleep},
      {"hold", "hold", "stay plugged in until Ctrl-C or SIGTERM", &SimConsole::Hold},
      {"unplug", "unplug", "unplug the controller (its node disappears)", &SimConsole::Unplug},
      {"plug", "plug [PATH|NAME]", "plug back in, at the last path or another one",
       &SimConsole::Plug},
      {"log", "log on|off", "print every frame in and out", &SimConsole::Log},
      {"quit", "quit", "unplug and end (also: exit, end of input)", &SimConsole::Quit},
      {"exit", "exit", "same as quit", &SimConsole::Quit},
  };
  return kCommands;
}

bool SimConsole::Execute(const std::string& line) {
  std::istringstream in(line);
  Args args;
  for (std::string word; in >> word;)
    args.push_back(word);
  if (args.empty() || args[0][0] == '#') return true;
  for (const Command& c : Commands()) {
    if (args[0] != c.name) continue;
    const size_t after = line.find(args[0]) + args[0].size();
    std::string rest = line.substr(after);
    rest.erase(0, rest.find_first_not_of(" \t"));
    (this->*c.run)(args, rest);
    return !quit_;
  }
  Fail("unknown command \"" + args[0] + "\" (try help)");
  return true;
}

bool SimConsole::Help(const Args&, const std::string&) {
  std::string text = "commands (CMD is a command name such as CFG_12 or CAL_BEGIN):";
  for (const Command& c : Commands()) {
    char line[200];
    std::snprintf(line, sizeof line, "\n  %-52s %s", c.usage, c.help);
    text += line;
  }
  text += "\nCMD names:";
  for (CommandKey key : CatalogueRequests())
    text += " " + CommandKeyName(key);
  Print(text);
  return true;
}

bool SimConsole::Status(const Args&, const std::string&) {
  std::string text = controller_.IsPlugged()
                         ? "plugged in at " + controller_.Path() + ", " +
                               std::to_string(controller_.OpenCount()) + " open(s)"
                         : "unplugged (last path " + controller_.Path() + ")";
  if (controller_.Calibrating()) {
    text += "\ncalibrating, ";
    text += controller_.Pending() ? "result pending" : "no result yet";
  } else {
    text += "\nnot calibrating";
  }
  for (const auto& [key, rule] : controller_.Faults()) {
    text += "\nrule: " + CommandKeyName(key) + " " + DescribeRule(rule);
  }
  if (const uint64_t dropped = controller_.DroppedReports()) {
    text += "\nreports dropped for slow readers: " + std::to_string(dropped);
  }
  Print(text);
  return true;
}

bool SimConsole::Show(const Args&, const std::string&) {
  std::string text = FormatState(controller_.State());
  if (!text.empty() && text.back() == '\n') text.pop_back();
  Print(text);
  return true;
}

// The same names and value syntax as `show` and the state file, validated as
// a loaded state file is.
bool SimConsole::Set(const Args& args, const std::string& rest) {
  if (args.size() < 2) return Fail("usage: set KEY VALUE");
  // Short names for the settings people change most.
  static const std::map<std::string, std::string> kAliases = {
      {"mode", "cal_mode"}, {"option", "cal_option"}, {"f3", "info_f3"},
      {"f4", "info_f4"},    {"f5", "info_f5"},        {"info", "info_value"}};
  std::string assignment = rest;
  const size_t keyEnd = assignment.find_first_of(" \t=");
  if (const auto alias = kAliases.find(assignment.substr(0, keyEnd)); alias != kAliases.end()) {
    assignment = alias->second + assignment.substr(alias->first.size());
  }
  const size_t eq = assignment.find('=');
  const size_t space = assignment.find_first_of(" \t");
  if (eq == std::string::npos || (space != std::string::npos && space < eq)) {
    if (space == std::string::npos) return Fail("usage: set KEY VALUE");
    const size_t value = assignment.find_first_not_of(" \t", space);
    assignment = assignment.substr(0, space) + "=" +
                 (value == std::string::npos ? "" : assignment.substr(value));
  }
  ControllerState state;
  std::string error;
  if (!ParseState(FormatState(controller_.State()) + assignment + "\n", state, error)) {
    return Fail(error.find("line") == 0 ? error.substr(error.find(':') + 2) : error);
  }
  if (!controller_.SetState(state, error)) return Fail(error);
  Print("ok");
  return true;
}

bool SimConsole::Defaults(const Args&, const std::string&) {
  std::string error;
  if (!controller_.SetState(ControllerState{}, error)) return Fail(error);
  Print("ok");
  return true;
}

bool SimConsole::Rule(const Args& args, const std::string&) {
  const std::string& verb = args[0];
  const auto key = args.size() > 1 ? ParseCommandKey(args[1]) : std::nullopt;
  if (!key) return Fail("unknown or missing command name (try help)");
  FaultRule rule;
  size_t repeatAt = 2;
  if (verb == "refuse") {
    rule.kind = FaultKind::Refuse;
  } else if (verb == "silent") {
    rule.kind = FaultKind::Silent;
  } else if (verb == "delay") {
    long ms = 0;
    if (args.size() < 3 || !ParseNumber(args[2], 0, 600000, ms)) {
      return Fail("usage: delay CMD MS [once|always]");
    }
    rule.kind = FaultKind::Delay;
    rule.delay = std::chrono::milliseconds(ms);
    repeatAt = 3;
  } else {
    const auto kind = args.size() > 2 ? ParseMalformKind(args[2]) : std::nullopt;
    if (!kind) return Fail("usage: malformed CMD terminator|length|reportid [once|always]");
    rule.kind = FaultKind::Malformed;
    rule.malform = *kind;
    repeatAt = 3;
  }
  if (!ParseRepeat(args, repeatAt, rule.once)) return Fail("expected once or always");
  controller_.SetFault(*key, rule);
  Print("rule: " + CommandKeyName(*key) + " " + DescribeRule(rule));
  return true;
}

bool SimConsole::Clear(const Args& args, const std::string&) {
  if (args.size() == 2 && args[1] == "all") {
    controller_.ClearFaults();
  } else {
    const auto key = args.size() == 2 ? ParseCommandKey(args[1]) : std::nullopt;
    if (!key) return Fail("usage: clear CMD|all");
    controller_.ClearFault(*key);
  }
  Print("ok");
  return true;
}

bool SimConsole::SendFrame(const Args& args, const std::string&) {
  const auto key = args.size() > 1 ? ParseCommandKey(args[1]) : std::nullopt;
  std::vector<uint8_t> payload;
  if (!key || !ParseHexBytes(args, 2, payload)) return Fail("usage: send CMD [HEX...]");
  if (!controller_.SendFrame(key->reportId, key->code, payload)) {
    return Fail("the payload does not fit the frame");
  }
  return true;
}

bool SimConsole::Raw(const Args& args, const std::string&) {
  std::vector<uint8_t> report;
  if (!ParseHexBytes(args, 1, report) || report.empty()) return Fail("usage: raw HEX...");
  controller_.SendReport(report);
  return true;
}

bool SimConsole::Touch(const Args& args, const std::string&) {
  TouchStream s;
  long x = 0, y = 0, count = s.count, jitter = 0;
  const bool ok = args.size() >= 3 && args.size() <= 6 && ParseNumber(args[1], 0, 4095, x) &&
                  ParseNumber(args[2], 0, 4095, y) &&
                  (args.size() < 4 || ParseNumber(args[3], 1, 1000000, count)) &&
                  (args.size() < 5 || ParseRate(args[4], s.rate)) &&
                  (args.size() < 6 || ParseNumber(args[5], 0, 4095, jitter));
  if (!ok) return Fail("usage: touch X Y [COUNT [RATE [JITTER]]] (X, Y 0..4095)");
  s.at = {static_cast<uint16_t>(x), static_cast<uint16_t>(y)};
  s.count = static_cast<int>(count);
  s.jitter = static_cast<int>(jitter);
  controller_.Touch(s);
  return true;
}

bool SimConsole::Targets(const Args& args, const std::string&) {
  TargetRun run;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const size_t eq = a.find('=');
    const std::string value = eq == std::string::npos ? "" : a.substr(eq + 1);
    long n = 0;
    RawPoint point;
    bool ok = false;
    if (a.rfind("rate=", 0) == 0) {
      ok = ParseRate(value, run.rate);
    } else if (a.rfind("count=", 0) == 0) {
      ok = ParseNumber(value, 1, 100000, n);
      run.reportsPerTarget = static_cast<int>(n);
    } else if (a.rfind("jitter=", 0) == 0) {
      ok = ParseNumber(value, 0, 4095, n);
      run.jitter = static_cast<int>(n);
    } else if (a.rfind("gap=", 0) == 0) {
      ok = ParseNumber(value, 0, 600000, n);
      run.gap = std::chrono::milliseconds(n);
    } else if (eq == std::string::npos) {
      ok = ParsePoint(a, point);
      run.positions.push_back(point);
    }
    if (!ok) return Fail("usage: targets [rate=R] [count=N] [jitter=J] [gap=MS] [X,Y...]");
  }
  controller_.TouchTargets(run);
  Print("targets: waiting for calibration to begin");
  return true;
}

bool SimConsole::Stop(const Args&, const std::string&) {
  controller_.StopTouches();
  return true;
}

bool SimConsole::Idle(const Args& args, const std::string&) {
  long ms = 600000;
  if (args.size() > 2 || (args.size() == 2 && !ParseNumber(args[1], 0, 86400000, ms))) {
    return Fail("usage: idle [MS]");
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!controller_.WaitTouchesDone(20ms)) {
    if (interrupted_() || std::chrono::steady_clock::now() >= end) {
      return Fail("touches still running");
    }
  }
  return true;
}

bool SimConsole::Wait(const Args& args, const std::string&) {
  const auto key = args.size() > 1 ? ParseCommandKey(args[1]) : std::nullopt;
  long ms = 60000;
  if (!key || args.size() > 3 || (args.size() == 3 && !ParseNumber(args[2], 0, 86400000, ms))) {
    return Fail("usage: wait CMD [MS]");
  }
  const auto match = [&](const SimEvent& e) {
    return e.IsFrame(SimEvent::Kind::In, key->reportId, key->code);
  };
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (auto found = controller_.Events().WaitFor(match, waitMark_, 20ms)) {
      waitMark_ = found->seq;
      Print("received " + CommandKeyName(*key));
      return true;
    }
    if (interrupted_() || std::chrono::steady_clock::now() >= end) {
      return Fail(CommandKeyName(*key) + " not received");
    }
  }
}

bool SimConsole::Sleep(const Args& args, const std::string&) {
  long ms = 0;
  if (args.size() != 2 || !ParseNumber(args[1], 0, 86400000, ms)) return Fail("usage: sleep MS");
  Pause(std::chrono::milliseconds(ms));
  return true;
}

bool SimConsole::Hold(const Args&, const std::string&) {
  while (!interrupted_())
    std::this_thread::sleep_for(50ms);
  quit_ = true;
  return true;
}

bool SimConsole::Unplug(const Args&, const std::string&) {
  controller_.Unplug();
  return true;
}

bool SimConsole::Plug(const Args& args, const std::string&) {
  if (args.size() > 2) return Fail("usage: plug [PATH|NAME]");
  std::string path;
  if (args.size() == 2) {
    path = args[1];
    if (path.find('/') == std::string::npos) {
      const std::string current = controller_.Path();
      path = current.substr(0, current.rfind('/') + 1) + path;
    }
  }
  if (controller_.IsPlugged()) return Fail("already plugged in (unplug first)");
  std::string error;
  if (!controller_.Plug(path, error)) return Fail(error);
  return true;
}

bool SimConsole::Log(const Args& args, const std::string&) {
  if (args.size() != 2 || (args[1] != "on" && args[1] != "off")) return Fail("usage: log on|off");
  SetLogFrames(args[1] == "on");
  return true;
}

bool SimConsole::Quit(const Args&, const std::string&) {
  quit_ = true;
  return true;
}

}  // namespace orvelle
