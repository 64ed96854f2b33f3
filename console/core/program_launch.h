#pragma once
// Starting the calibration program: which file, how it is started, and what
// the user is told when it does not start. Free of Qt.

#include <filesystem>
#include <string>
#include <vector>

namespace orvelle::console {

enum class LaunchResult {
  Started,
  NoResources,    // memory or process slots ran out
  NotExecutable,  // the file is no program this system can run
  FileNotFound,
  FolderNotFound,
};

// The message for a launch that failed; 0 for a start.
int LaunchFailureMessage(LaunchResult result);

#ifdef _WIN32
inline constexpr const char* kCalibrationProgramFile = "Tessaly.exe";
#else
inline constexpr const char* kCalibrationProgramFile = "Tessaly";
#endif

// The calibration program beside the console's own executable, else in the
// installed programs folder: the first that exists, or the first candidate
// when neither does. Relative folders are skipped, so neither the current
// directory nor a search path can supply a planted program.
std::filesystem::path LocateCalibrationProgram(const std::filesystem::path& consoleProgram,
                                               const std::filesystem::path& installedFolder);

// Starts `program` with `arguments`, as a process of its own that outlives
// the console; `pid` receives its process id (0 where there is none).
LaunchResult StartProgram(const std::filesystem::path& program,
                          const std::vector<std::string>& arguments, long& pid);

// The calibration program's arguments that show it on `screen`; none for an
// empty name (the program then takes the primary screen).
std::vector<std::string> CalibrationArguments(const std::string& screen);

}  // namespace orvelle::console
