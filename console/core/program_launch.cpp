#include "console/core/program_launch.h"

#include <cerrno>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "calibration/core/screen_choice.h"
#include "console/core/message_ids.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace orvelle::console {

namespace fs = std::filesystem;

int LaunchFailureMessage(LaunchResult result) {
  switch (result) {
    case LaunchResult::Started:
      return 0;
    case LaunchResult::NoResources:
      return kMsgLaunchNoResources;
    case LaunchResult::NotExecutable:
      return kMsgLaunchNotExecutable;
    case LaunchResult::FileNotFound:
      return kMsgFileNotFound;
    case LaunchResult::FolderNotFound:
      return kMsgLaunchFolderNotFound;
  }
  return kMsgLaunchNoResources;
}

fs::path LocateCalibrationProgram(const fs::path& consoleProgram, const fs::path& installedFolder) {
  std::vector<fs::path> candidates;
  for (const fs::path& folder : {consoleProgram.parent_path(), installedFolder}) {
    if (folder.is_absolute()) candidates.push_back(folder / kCalibrationProgramFile);
  }
  for (const fs::path& candidate : candidates) {
    std::error_code error;
    if (fs::exists(candidate, error)) return candidate;
  }
  return candidates.empty() ? fs::path() : candidates.front();
}

namespace {

LaunchResult FromSystemError(int error, const fs::path& program) {
  switch (error) {
    case ENOENT: {
      std::error_code ignored;
      return program.has_parent_path() && fs::is_directory(program.parent_path(), ignored)
                 ? LaunchResult::FileNotFound
                 : LaunchResult::FolderNotFound;
    }
    case ENOTDIR:
      return LaunchResult::FolderNotFound;
    case ENOMEM:
    case EAGAIN:
    case EMFILE:
    case ENFILE:
      return LaunchResult::NoResources;
    default:  // EACCES, ENOEXEC, EISDIR, ELIBBAD, ...
      return LaunchResult::NotExecutable;
  }
}

}  // namespace

std::vector<std::string> CalibrationArguments(const std::string& device,
                                              const std::string& screen) {
  std::vector<std::string> arguments;
  if (!device.empty()) arguments.insert(arguments.end(), {std::string(kDeviceOption), device});
  if (!screen.empty()) arguments.insert(arguments.end(), {std::string(kScreenOption), screen});
  return arguments;
}

StartedProgram::~StartedProgram() {
  Release();
}

StartedProgram::StartedProgram(StartedProgram&& other) noexcept
    : id_(std::exchange(other.id_, 0)),
      ended_(std::exchange(other.ended_, false)),
      handle_(std::exchange(other.handle_, nullptr)) {}

StartedProgram& StartedProgram::operator=(StartedProgram&& other) noexcept {
  if (this != &other) {
    Release();
    id_ = std::exchange(other.id_, 0);
    ended_ = std::exchange(other.ended_, false);
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

#ifndef _WIN32
void StartedProgram::Release() {}

bool StartedProgram::HasEnded() {
  if (ended_ || id_ == 0) return true;
  const pid_t collected = ::waitpid(static_cast<pid_t>(id_), nullptr, WNOHANG);
  // -1: no such child any more, which is an end too.
  ended_ = collected != 0 && !(collected < 0 && errno == EINTR);
  return ended_;
}

LaunchResult StartProgram(const fs::path& program, const std::vector<std::string>& arguments,
                          StartedProgram& started) {
  started = StartedProgram();
  if (program.empty()) return LaunchResult::FileNotFound;
  std::string file = program.string();
  std::vector<std::string> words = arguments;
  std::vector<char*> argv{file.data()};
  for (std::string& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  // glibc reports a failed exec from posix_spawn itself.
  const int error = ::posix_spawn(&child, file.c_str(), nullptr, nullptr, argv.data(), environ);
  if (error != 0) return FromSystemError(error, program);
  started.id_ = child;
  return LaunchResult::Started;
}
#else
namespace {

// Quoted so that the program's start-up splits it back into the same words.
std::wstring Quoted(const std::wstring& word) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : word) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

}  // namespace

void StartedProgram::Release() {
  if (handle_) CloseHandle(handle_);
  handle_ = nullptr;
}

bool StartedProgram::HasEnded() {
  if (!ended_ && handle_) ended_ = WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0;
  return ended_ || !handle_;
}

LaunchResult StartProgram(const fs::path& program, const std::vector<std::string>& arguments,
                          StartedProgram& started) {
  started = StartedProgram();
  if (program.empty()) return LaunchResult::FileNotFound;
  std::wstring commandLine = Quoted(program.wstring());
  for (const std::string& argument : arguments)
    commandLine += L" " + Quoted(fs::path(argument).wstring());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    switch (GetLastError()) {
      case ERROR_FILE_NOT_FOUND:
        return FromSystemError(ENOENT, program);
      case ERROR_PATH_NOT_FOUND:
        return LaunchResult::FolderNotFound;
      case ERROR_NOT_ENOUGH_MEMORY:
      case ERROR_OUTOFMEMORY:
        return LaunchResult::NoResources;
      default:
        return LaunchResult::NotExecutable;
    }
  }
  CloseHandle(process.hThread);
  started.handle_ = process.hProcess;
  started.id_ = static_cast<long>(process.dwProcessId);
  return LaunchResult::Started;
}
#endif

}  // namespace orvelle::console
