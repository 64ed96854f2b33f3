#include "platform/atomic_file.h"

#include <string>

#ifdef _WIN32
#include <fstream>
#include <system_error>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace orvelle {

namespace fs = std::filesystem;

#ifndef _WIN32
bool WriteFileAtomically(const fs::path& path, std::string_view content) {
  const fs::path temporary = path.string() + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const bool ok = written == content.size() && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  // The rename itself must reach the disk before the new content counts.
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}
#else
bool WriteFileAtomically(const fs::path& path, std::string_view content) {
  fs::path temporary = path;
  temporary += ".tmp";
  std::error_code error;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out.write(content.data(), static_cast<std::streamsize>(content.size())) || !out.flush()) {
      out.close();
      fs::remove(temporary, error);
      return false;
    }
  }
  fs::rename(temporary, path, error);
  if (error) fs::remove(temporary, error);
  return !error;
}
#endif

}  // namespace orvelle
