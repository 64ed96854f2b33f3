#include "console/core/program_launch.h"

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

#include "console/core/message_ids.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
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

#ifndef _WIN32
LaunchResult StartProgram(const fs::path& program, long& pid) {
  pid = 0;
  if (program.empty()) return LaunchResult::FileNotFound;
  std::string file = program.string();
  char* argv[] = {file.data(), nullptr};
  pid_t child = 0;
  // glibc reports a failed exec from posix_spawn itself.
  const int error = ::posix_spawn(&child, file.c_str(), nullptr, nullptr, argv, environ);
  if (error != 0) return FromSystemError(error, program);
  pid = child;
  return LaunchResult::Started;
}
#else
LaunchResult StartProgram(const fs::path& program, long& pid) {
  pid = 0;
  if (program.empty()) return LaunchResult::FileNotFound;
  std::wstring commandLine = L"\"" + program.wstring() + L"\"";
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
  CloseHandle(process.hProcess);
  pid = static_cast<long>(process.dwProcessId);
  return LaunchResult::Started;
}
#endif

}  // namespace orvelle::console
