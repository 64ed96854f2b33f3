// config show, set, reset, save and load: the configuration page's exchange
// without its window.
//
// A value that the controller holds outside what the page's controls offer
// is shown and saved as it is, and written back only unchanged within its
// group: `set` writes only the groups of the settings it was given, `load`
// only the groups in which the file differs from the controller, and every
// value that changes must be one the page offers.
#include <optional>

#include "console/core/config_page.h"
#include "console/core/pacing.h"
#include "ctl/command_groups.h"
#include "ctl/config_document.h"
#include "ctl/file_refusal.h"
#include "ctl/text.h"
#include "platform/atomic_file.h"

namespace orvelle::ctl {
namespace {

using namespace orvelle::console;

// Larger files are no settings document of ours.
constexpr size_t kConfigFileLimit = 64 * 1024;

bool InClass(const Invocation& run, const ConfigKey& key) {
  return GroupInClass(key.group, run.Context().windowsClass);
}

// The groups named, as the tool names commands.
std::string Names(std::span<const uint8_t> groups) {
  std::string names;
  for (uint8_t code : groups)
    names += (names.empty() ? "" : ", ") + CommandText(kCommandReportId, code);
  return names;
}

// The exchange's answers: the groups whose reads or writes were refused, and
// the reset's outcome.
struct Answers {
  std::vector<uint8_t> readRefused;
  std::vector<uint8_t> writeRefused;
  std::optional<ConfigAnswer> reset;
};

void Listen(Invocation& run, ConfigExchange& exchange, Answers& answers) {
  run.Controller().OnAnswers([&exchange, &answers](std::span<const uint8_t> frame) {
    switch (const ConfigAnswer answer = exchange.HandleFrame(frame)) {
      case ConfigAnswer::ReadRefused:
        answers.readRefused.push_back(frame[1]);
        break;
      case ConfigAnswer::WriteRefused:
        answers.writeRefused.push_back(frame[1]);
        break;
      case ConfigAnswer::ResetDone:
      case ConfigAnswer::ResetRefused:
        answers.reset = answer;
        break;
      case ConfigAnswer::None:
      case ConfigAnswer::ReadTaken:
        break;
    }
  });
}

// Reads `groups` (every group of this system's class when none are given),
// in the page's order.
int Read(Invocation& run, Answers& answers, const std::vector<uint8_t>& groups = {}) {
  answers.readRefused.clear();
  for (uint8_t code : kConfigGroups) {
    if (!GroupInClass(code, run.Context().windowsClass)) continue;
    if (!groups.empty() && std::find(groups.begin(), groups.end(), code) == groups.end()) continue;
    if (const int status =
            run.Ask(kCommandChannel, ConfigExchange::ReadRequest(code), kPauseAfterRead))
      return status;
  }
  if (!answers.readRefused.empty())
    return run.Error(kExitFailed, "the controller refused to report the settings of " +
                                      Names(answers.readRefused));
  return kExitDone;
}

// Connects and reads every group, as the page's refresh does.
int ConnectAndRead(Invocation& run, ConfigExchange& exchange, Answers& answers) {
  if (const int status = run.Connect()) return status;
  Listen(run, exchange, answers);
  exchange.BeginRefresh(run.Context().windowsClass);
  if (const int status = Read(run, answers)) return status;
  if (!exchange.ReadComplete())
    return run.Error(kExitNoAnswer,
                     "the controller's answers could not be read: not every setting came");
  return kExitDone;
}

// Writes `groups` in the page's order, as its Apply does, and reads them back:
// a write is done when the controller reports what was written.
int Write(Invocation& run, ConfigExchange& exchange, const std::vector<uint8_t>& groups,
          Answers& answers) {
  exchange.BeginApply();
  for (uint8_t code : kConfigGroups) {
    if (std::find(groups.begin(), groups.end(), code) == groups.end()) continue;
    if (const int status = run.Ask(kCommandChannel, exchange.ApplyRequest(code), kPauseAfterWrite))
      return status;
  }
  if (!exchange.ApplyOk())
    return run.Error(kExitFailed,
                     "the controller refused the settings of " + Names(answers.writeRefused));
  if (const int status = Read(run, answers, groups)) return status;
  if (const std::vector<uint8_t> unkept = exchange.UnkeptGroups(); !unkept.empty())
    return run.Error(kExitFailed, "the controller did not keep the settings of " + Names(unkept) +
                                      "; orvellectl config show shows what it holds");
  return kExitDone;
}

}  // namespace

int RunConfigShow(Invocation& run) {
  ConfigExchange exchange;
  Answers answers;
  if (const int status = ConnectAndRead(run, exchange, answers)) return status;
  const int windowsClass = run.Context().windowsClass;
  if (run.Given().json) {
    run.Out() << FormatConfigDocument(exchange.State(), windowsClass);
  } else {
    for (const ConfigKey& key : ConfigKeys()) {
      if (InClass(run, key))
        run.Out() << key.name << "=" << FormatValue(key, exchange.State()) << "\n";
    }
  }
  return kExitDone;
}

int RunConfigSet(Invocation& run) {
  const std::vector<std::string>& w = run.Words();
  if (w.size() < 3) return run.Usage("config set needs at least one KEY=VALUE");
  std::vector<Setting> settings;
  std::vector<uint8_t> groups;
  for (size_t i = 2; i < w.size(); ++i) {
    std::string error;
    const std::optional<Setting> setting = ParseSetting(w[i], error);
    if (!setting) return run.Error(kExitUsage, error);
    if (!InClass(run, *setting->key))
      return run.Error(kExitUsage, std::string(setting->key->name) + " is used on Windows 7 only");
    settings.push_back(*setting);
    groups.push_back(setting->key->group);
  }
  ConfigExchange exchange;
  Answers answers;
  if (const int status = ConnectAndRead(run, exchange, answers)) return status;
  for (const Setting& setting : settings)
    ApplySetting(setting, exchange);
  return Write(run, exchange, groups, answers);
}

int RunConfigReset(Invocation& run) {
  if (const int status = run.Connect()) return status;
  ConfigExchange exchange;
  Answers answers;
  Listen(run, exchange, answers);
  if (const int status = run.Ask(kCommandChannel, ConfigExchange::ResetRequest(), kPauseAfterReset))
    return status;
  if (answers.reset != ConfigAnswer::ResetDone)
    return run.Error(kExitFailed, "the controller refused to restore its default settings");
  // Done when the controller reports every setting again, as the page shows them.
  exchange.BeginRefresh(run.Context().windowsClass);
  if (const int status = Read(run, answers)) return status;
  if (!exchange.ReadComplete())
    return run.Error(kExitFailed, "the controller did not report its settings after the reset");
  return kExitDone;
}

int RunConfigSave(Invocation& run) {
  const std::string& file = run.Words()[2];
  if (file.empty()) return run.Usage("the file name is empty");
  ConfigExchange exchange;
  Answers answers;
  if (const int status = ConnectAndRead(run, exchange, answers)) return status;
  if (const int status = run.Stopped()) return status;
  const FileWriteResult written =
      WriteFileAtomically(file, FormatConfigDocument(exchange.State(), run.Context().windowsClass));
  if (!written)
    return run.Error(kExitFailed, "cannot write " + QuoteGiven(file) + ": " + written.Reason());
  return kExitDone;
}

int RunConfigLoad(Invocation& run) {
  const std::string& file = run.Words()[2];
  InputFileError error;
  const std::optional<InputFileContent> content = ReadInputFile(file, kConfigFileLimit, error);
  if (!content) return RefuseInputFile(run, file, error);
  const auto refuse = [&](const DocumentError& why) {
    return run.Error(kExitUsage,
                     QuoteGiven(file) + ": " + why.field + ": " + why.why + "; nothing was sent");
  };
  if (content->truncated) return refuse({"(document)", "larger than a settings file"});
  DocumentError invalid;
  const int windowsClass = run.Context().windowsClass;
  const std::optional<std::vector<Setting>> settings =
      ParseConfigDocument(content->bytes, windowsClass, invalid);
  if (!settings) return refuse(invalid);
  ConfigExchange exchange;
  Answers answers;
  if (const int status = ConnectAndRead(run, exchange, answers)) return status;
  const std::optional<std::vector<uint8_t>> groups =
      ApplyChangedSettings(*settings, windowsClass, exchange, invalid);
  if (!groups) return refuse(invalid);
  return Write(run, exchange, *groups, answers);
}

}  // namespace orvelle::ctl
