#pragma once
// One run of orvellectl: its options, its streams and what every command
// group needs of them (errors, JSON, the chosen controller's session, the
// pauses between exchanges and the stop signals).

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ctl/commands.h"
#include "ctl/ctl_link.h"

namespace orvelle::ctl {

using Json = nlohmann::ordered_json;

struct Options {
  std::string device;
  bool json = false;
  bool help = false;
  bool version = false;
  std::vector<std::string> words;  // the command, its sub-command and arguments
};

class Invocation {
 public:
  Invocation(const CtlContext& context, Options options);

  const Options& Given() const { return options_; }
  const std::vector<std::string>& Words() const { return options_.words; }
  const CtlContext& Context() const { return context_; }
  std::ostream& Out() { return out_; }
  std::ostream& Err() { return err_; }

  // One line on standard error; returns `status`.
  int Error(int status, const std::string& text);
  int Usage(const std::string& text);
  // Whether exactly `count` words were given; says what is wrong if not.
  bool Arguments(size_t count);
  // Never throws: bytes that are no UTF-8 become U+FFFD.
  void PrintJson(const Json& document);
  // Says, once, that standard output could not be written and why (`error`,
  // an errno value; 0 when unknown).
  int WriteError(int error);
  // Ends the run: what was printed must reach standard output, or the run
  // ends with the write error (after an error of its own, with that one's
  // status).
  int Finish(int status);

  // Opens the controller that --device names, or the only one found, and
  // holds it for the command (one exchange group); with several and no
  // --device nothing is opened, since a script must never reach a controller
  // by chance.
  int Connect();
  // Lets the controller go before the command ends (it only listens, or
  // hands the controller to Tessaly).
  void LetGo() { group_.End(); }
  // Sends, waits for the answer, then pauses as the pages do before their
  // next request. Says what went wrong: a failed write or a controller gone
  // (1), silence (4), a stop signal (128 + it).
  int Ask(int channel, const FrameBuffer& frame, std::chrono::milliseconds pauseAfter);
  // The exit status of a stop signal received, or 0.
  int Stopped() const;
  Session& Controller() { return *session_; }

 private:
  // The path of the controller to open, as Connect tells.
  int ChooseController(std::string& chosen);

  const CtlContext& context_;
  const Options options_;
  std::ostream& out_;
  std::ostream& err_;
  std::unique_ptr<Session> session_;
  ExchangeGroup group_;
  bool writeErrorSaid_ = false;
};

}  // namespace orvelle::ctl
