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

// A program started here, watched for its end. Letting go of it leaves the
// program running.
class StartedProgram {
 public:
  StartedProgram() = default;
  ~StartedProgram();
  StartedProgram(StartedProgram&& other) noexcept;
  StartedProgram& operator=(StartedProgram&& other) noexcept;

  // The process id; 0 for none.
  long Id() const { return id_; }
  // Looks without waiting: true once the program has ended (a POSIX child is
  // collected then, so that none is left behind).
  bool HasEnded();

 private:
  friend LaunchResult StartProgram(const std::filesystem::path&, const std::vector<std::string>&,
                                   StartedProgram&);
  void Release();

  long id_ = 0;
  bool ended_ = false;
  void* handle_ = nullptr;  // Windows: the process handle it waits on
};

// Starts `program` with `arguments`, as a process of its own that outlives
// the console; `started` then holds it.
LaunchResult StartProgram(const std::filesystem::path& program,
                          const std::vector<std::string>& arguments, StartedProgram& started);

// The calibration program's arguments that point it at the controller at
// `device` and show it on `screen`. Each is left out when empty: the program
// then takes the first controller, and the primary screen.
std::vector<std::string> CalibrationArguments(const std::string& device, const std::string& screen);

}  // namespace orvelle::console
