#include "ctl/command_groups.h"

namespace orvelle::ctl {
namespace {

using enum CommandArguments;
constexpr unsigned kDeviceAndJson = kDeviceOption | kJsonOption;

const Command kCommands[] = {
    {"list", "", None, kJsonOption,
     "the controllers found, real ones first, as the console ranks them", RunList},
    {"info", "", None, kDeviceAndJson, "model, identity texts, info value, counts and lists",
     RunInfo},
    {"config", "show", None, kDeviceAndJson, "every setting as KEY=VALUE", RunConfigShow},
    {"config", "set", Settings, kDeviceOption,
     "checks every value, then writes the groups of the named settings only", RunConfigSet},
    {"config", "reset", None, kDeviceOption, "has the controller restore its default settings",
     RunConfigReset},
    {"config", "save", File, kDeviceOption, "all settings to FILE as JSON, replaced atomically",
     RunConfigSave},
    {"config", "load", File, kDeviceOption,
     "checks all of FILE, then writes the groups in which it differs from the controller",
     RunConfigLoad},
    {"calibration", "show", None, kDeviceAndJson, "the calibration mode and option",
     RunCalibrationShow},
    {"calibration", "set", CalibrationValues, kDeviceOption, "writes the option and the mode",
     RunCalibrationSet},
    {"calibration", "start", Screen, kDeviceOption,
     "starts Tessaly, the calibration program, from this program's folder or the installed one",
     RunCalibrationStart},
    {"calibration", "export", File, kDeviceOption, "the calibration record to FILE",
     RunCalibrationExport},
    {"calibration", "import", File, kDeviceOption, "the record of FILE to the controller",
     RunCalibrationImport},
    {"calibration", "reset", None, kDeviceOption,
     "has the controller restore its factory calibration", RunCalibrationReset},
    {"monitor", "", None, kDeviceOption, "every frame the controller sends, until Ctrl-C",
     RunMonitor},
// The doctor reads udev's rules and the hidraw nodes.
#ifdef __linux__
    {"doctor", "", None, kJsonOption, "why a frame cannot be opened, and what to do",
     RunDoctorCommand},
#endif
    {"help", "", Topic, kNoOptions, "the overview of the commands, or a command's help", RunHelp},
};

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
