#pragma once
// Reading a file that the user names as input: a settings document, a
// calibration file. Users and scripts pass whatever they are given: a FIFO
// must not hang the reader until a writer comes, and a device or a folder is
// no document, so only a regular file is taken.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace orvelle {

enum class InputFileFault {
  CannotRead,  // it could not be opened or read: `reason` says why
  NotAFile,    // a folder, a FIFO, a device
};

struct InputFileError {
  InputFileFault fault = InputFileFault::CannotRead;
  std::string reason;  // the system's words, for CannotRead
};

// The first `limit` bytes of the file, and whether there was more.
struct InputFileContent {
  std::string bytes;
  bool truncated = false;
};

std::optional<InputFileContent> ReadInputFile(const std::filesystem::path& path, size_t limit,
                                              InputFileError& error);

}  // namespace orvelle
