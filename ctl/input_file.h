#pragma once
// Reading a file that the user names as input. Scripts pass whatever they
// are given: a FIFO or a device must neither hang the tool nor be read as
// settings, so only a regular file is taken.

#include <cstddef>
#include <optional>
#include <string>

namespace orvelle::ctl {

struct InputFileError {
  int status;        // an exit status: 1 when it cannot be opened, 2 when it is no file to read
  std::string text;  // for the user, with the path
};

// The first `limit` bytes of the file, and whether there was more.
struct InputFileContent {
  std::string bytes;
  bool truncated = false;
};

std::optional<InputFileContent> ReadInputFile(const std::string& path, size_t limit,
                                              InputFileError& error);

}  // namespace orvelle::ctl
