#pragma once
// orvellectl's commands: their words, what follows them, which options they
// take, what they do and the function that runs each. The dispatcher, the
// help, the manual page and the bash completion all read this one table.

#include <span>
#include <string>

#include "ctl/invocation.h"

namespace orvelle::ctl {

// What follows a command's words; its usage and its completion come from it.
enum class CommandArguments {
  None,
  File,               // FILE
  Settings,           // KEY=VALUE ...
  CalibrationValues,  // [mode=N] [option=N]
  Screen,             // [--screen NAME]
  Topic,              // [COMMAND]
};

// The options a command takes beside --help.
enum CommandOptions : unsigned { kNoOptions = 0, kDeviceOption = 1, kJsonOption = 2 };

struct Command {
  const char* group;   // the first word: "config"
  const char* action;  // the second, or "" where the group is one command
  CommandArguments arguments;
  unsigned options;
  int (*run)(Invocation& run);
  const char* summary;
};

// In the order the help lists them.
std::span<const Command> Commands();
// "KEY=VALUE ...", as the usage shows what follows the command's words.
const char* ArgumentsText(CommandArguments arguments);
// "config set KEY=VALUE ...": the command's words and arguments.
std::string CommandLine(const Command& command);
// The command line with the options the command takes, as the usage shows it.
std::string Synopsis(const Command& command);

int RunList(Invocation& run);
int RunInfo(Invocation& run);
int RunConfigShow(Invocation& run);
int RunConfigSet(Invocation& run);
int RunConfigReset(Invocation& run);
int RunConfigSave(Invocation& run);
int RunConfigLoad(Invocation& run);
int RunCalibrationShow(Invocation& run);
int RunCalibrationSet(Invocation& run);
int RunCalibrationStart(Invocation& run);
int RunCalibrationExport(Invocation& run);
int RunCalibrationImport(Invocation& run);
int RunCalibrationReset(Invocation& run);
int RunMonitor(Invocation& run);
int RunDoctorCommand(Invocation& run);
int RunHelp(Invocation& run);

}  // namespace orvelle::ctl
