// The command line read into options, and the command group it names run.
#include <optional>

#include "ctl/command_groups.h"
#include "ctl/help.h"
#include "ctl/text.h"

namespace orvelle::ctl {
namespace {

struct CommandGroup {
  const char* name;
  int (*run)(Invocation&);
};

#define ORVELLE_CTL_LIST_GROUP(name, function) {name, function},
constexpr CommandGroup kGroups[] = {ORVELLE_CTL_COMMAND_GROUPS(ORVELLE_CTL_LIST_GROUP)};
#undef ORVELLE_CTL_LIST_GROUP

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

int Dispatch(Invocation& run) {
  const std::vector<std::string>& w = run.Words();
  const std::string command = w.empty() ? "" : w[0];
  if (run.Given().version) {
    run.Out() << "orvellectl " << ORVELLE_VERSION << "\n";
    return kExitDone;
  }
  if (run.Given().help || command == "help") {
    const std::string topic = command == "help" ? (w.size() > 1 ? w[1] : "") : command;
    run.Out() << HelpText(topic);
    return kExitDone;
  }
  if (command.empty()) return run.Usage("no command given");
  for (const CommandGroup& group : kGroups) {
    if (command == group.name) return group.run(run);
  }
  return run.Usage("there is no command " + QuoteGiven(command));
}

}  // namespace

int RunCtl(std::span<const std::string> args, const CtlContext& context) {
  std::optional<Options> options = ParseOptions(args, *context.err);
  if (!options) return kExitUsage;
  Invocation run(context, std::move(*options));
  return run.Finish(Dispatch(run));
}

}  // namespace orvelle::ctl
