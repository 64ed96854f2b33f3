#include "platform/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/unique_fd.h"

namespace orvelle {

std::optional<InputFileContent> ReadInputFile(const std::filesystem::path& path, size_t limit,
                                              InputFileError& error) {
  // Opening a FIFO for reading blocks until a writer comes; without blocking
  // it opens at once, and fstat then tells what it is.
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (file.Get() < 0) {
    error = {InputFileFault::CannotRead, std::strerror(errno)};
    return std::nullopt;
  }
  struct stat st {};
  if (::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    error = {InputFileFault::NotAFile, {}};
    return std::nullopt;
  }
  InputFileContent content;
  content.bytes.resize(limit + 1);
  size_t filled = 0;
  while (filled < content.bytes.size()) {
    const ssize_t n =
        ::read(file.Get(), content.bytes.data() + filled, content.bytes.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = {InputFileFault::CannotRead, std::strerror(errno)};
      return std::nullopt;
    }
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  content.truncated = filled > limit;
  content.bytes.resize(std::min(filled, limit));
  return content;
}

}  // namespace orvelle
