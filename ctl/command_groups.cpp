#include "ctl/command_groups.h"

namespace orvelle::ctl {
namespace {

using enum CommandArguments;
constexpr unsigned kDeviceAndJson = kDeviceOption | kJsonOption;

// One command a row: its words, what follows them, its options, the function
// that runs it and, below, what it does.
// clang-format off
const Command kCommands[] = {
    {"list",        "",       None,              kJsonOption,    RunList,
     "the controllers found, real ones first, as the console ranks them"},
    {"info",        "",       None,              kDeviceAndJson, RunInfo,
     "model, identity texts, info value, counts and lists"},
    {"config",      "show",   None,              kDeviceAndJson, RunConfigShow,
     "every setting as KEY=VALUE"},
    {"config",      "set",    Settings,          kDeviceOption,  RunConfigSet,
     "checks every value, then writes the groups of the named settings only"},
    {"config",      "reset",  None,              kDeviceOption,  RunConfigReset,
     "has the controller restore its default settings"},
    {"config",      "save",   File,              kDeviceOption,  RunConfigSave,
     "all settings to FILE as JSON, replaced atomically"},
    {"config",      "load",   File,              kDeviceOption,  RunConfigLoad,
     "checks all of FILE, then writes the groups in which it differs from the controller"},
    {"calibration", "show",   None,              kDeviceAndJson, RunCalibrationShow,
     "the calibration mode and option"},
    {"calibration", "set",    CalibrationValues, kDeviceOption,  RunCalibrationSet,
     "writes the option and the mode"},
    {"calibration", "start",  Screen,            kDeviceOption,  RunCalibrationStart,
     "starts Tessaly, the calibration program, from this program's folder or the installed one"},
    {"calibration", "export", File,              kDeviceOption,  RunCalibrationExport,
     "the calibration record to FILE"},
    {"calibration", "import", File,              kDeviceOption,  RunCalibrationImport,
     "the record of FILE to the controller"},
    {"calibration", "reset",  None,              kDeviceOption,  RunCalibrationReset,
     "has the controller restore its factory calibration"},
    {"monitor",     "",       None,              kDeviceOption,  RunMonitor,
     "every frame the controller sends, until Ctrl-C"},
// The doctor reads udev's rules and the hidraw nodes.
#ifdef __linux__
    {"doctor",      "",       None,              kJsonOption,    RunDoctorCommand,
     "why a frame cannot be opened, and what to do"},
#endif
    {"help",        "",       Topic,             kNoOptions,     RunHelp,
     "the overview of the commands, or a command's help"},
};
// clang-format on

}  // namespace

std::span<const Command> Commands() {
  return kCommands;
}

const char* ArgumentsText(CommandArguments arguments) {
  using enum CommandArguments;
  switch (arguments) {
    case None:
      return "";
    case File:
      return "FILE";
    case Settings:
      return "KEY=VALUE ...";
    case CalibrationValues:
      return "[mode=N] [option=N]";
    case Screen:
      return "[--screen NAME]";
    case Topic:
      return "[COMMAND]";
  }
  return "";
}

std::string CommandLine(const Command& command) {
  std::string line = command.group;
  for (const char* word : {command.action, ArgumentsText(command.arguments)}) {
    if (*word != '\0') line += std::string(" ") + word;
  }
  return line;
}

std::string Synopsis(const Command& command) {
  return std::string("orvellectl ") + (command.options & kDeviceOption ? "[--device PATH] " : "") +
         (command.options & kJsonOption ? "[--json] " : "") + CommandLine(command);
}

}  // namespace orvelle::ctl
