// The command line read into options, and the command group it names run.
#include <optional>
#include <vector>

#include "ctl/command_groups.h"
#include "ctl/help.h"
#include "ctl/text.h"

namespace orvelle::ctl {
namespace {

std::optional<Options> ParseOptions(std::span<const std::string> args, std::ostream& err) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      o.json = true;
    } else if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--device" || a.rfind("--device=", 0) == 0) {
      if (a == "--device" && i + 1 == args.size()) {
        err << "orvellectl: --device needs a path (orvellectl list shows them)\n";
        return std::nullopt;
      }
      o.device = a == "--device" ? args[++i] : a.substr(9);
      // An empty path must not fall back to whichever controller comes first.
      if (o.device.empty()) {
        err << "orvellectl: --device is empty (orvellectl list shows the paths)\n";
        return std::nullopt;
      }
    } else if (a == "--screen" || a.rfind("--screen=", 0) == 0) {
      // calibration start's own option, read there.
      o.words.push_back(a);
      if (a == "--screen" && i + 1 < args.size()) o.words.push_back(args[++i]);
    } else if (a.rfind("-", 0) == 0 && a.size() > 1) {
      err << "orvellectl: unknown option " << QuoteGiven(a)
          << " (orvellectl --help shows the options)\n";
      return std::nullopt;
    } else {
      o.words.push_back(a);
    }
  }
  return o;
}

// "show, set, reset, save or load": the actions of a group.
std::string Actions(const std::string& group) {
  std::vector<std::string> actions;
  for (const Command& command : Commands()) {
    if (command.group == group) actions.push_back(command.action);
  }
  std::string text;
  for (size_t i = 0; i < actions.size(); ++i)
    text += (i == 0 ? "" : i + 1 == actions.size() ? " or " : ", ") + actions[i];
  return text;
}

int Dispatch(Invocation& run) {
  const std::vector<std::string>& w = run.Words();
  const std::string group = w.empty() ? "" : w[0];
  if (run.Given().version) {
    run.Out() << "orvellectl " << ORVELLE_VERSION << "\n";
    return kExitDone;
  }
  if (run.Given().help) {
    run.Out() << HelpText(group);
    return kExitDone;
  }
  if (group.empty()) return run.Usage("no command given");
  const std::string action = w.size() > 1 ? w[1] : "";
  bool groupFound = false;
  for (const Command& command : Commands()) {
    if (command.group != group) continue;
    groupFound = true;
    const size_t words = *command.action == '\0' ? 1 : 2;
    if (words == 2 && command.action != action) continue;
    using enum CommandArguments;
    if (command.arguments == None && !run.Arguments(words)) return kExitUsage;
    if (command.arguments == File && !run.Arguments(words + 1)) return kExitUsage;
    return command.run(run);
  }
  if (groupFound) return run.Usage(QuoteGiven(group) + " takes " + Actions(group));
  return run.Usage("there is no command " + QuoteGiven(group));
}

}  // namespace

int RunCtl(std::span<const std::string> args, const CtlContext& context) {
  std::optional<Options> options = ParseOptions(args, *context.err);
  if (!options) return kExitUsage;
  Invocation run(context, std::move(*options));
  return run.Finish(Dispatch(run));
}

}  // namespace orvelle::ctl
