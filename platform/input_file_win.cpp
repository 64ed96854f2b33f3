#include "platform/input_file.h"

#include <windows.h>

#include <algorithm>
#include <system_error>

namespace orvelle {
namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

std::string LastErrorText() {
  return std::system_category().message(static_cast<int>(::GetLastError()));
}

}  // namespace

std::optional<InputFileContent> ReadInputFile(const std::filesystem::path& path, size_t limit,
                                              InputFileError& error) {
  // Backup semantics let a folder open too, so that it is refused as no file
  // rather than reported as unreadable; a pipe or a device is refused alike.
  const FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) {
    error = {InputFileFault::CannotRead, LastErrorText()};
    return std::nullopt;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandle(file.Get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = {InputFileFault::NotAFile, {}};
    return std::nullopt;
  }
  InputFileContent content;
  content.bytes.resize(limit + 1);
  size_t filled = 0;
  while (filled < content.bytes.size()) {
    DWORD n = 0;
    const DWORD wanted =
        static_cast<DWORD>(std::min<size_t>(content.bytes.size() - filled, 1 << 20));
    if (!::ReadFile(file.Get(), content.bytes.data() + filled, wanted, &n, nullptr)) {
      error = {InputFileFault::CannotRead, LastErrorText()};
      return std::nullopt;
    }
    if (n == 0) break;
    filled += n;
  }
  content.truncated = filled > limit;
  content.bytes.resize(std::min(filled, limit));
  return content;
}

}  // namespace orvelle
