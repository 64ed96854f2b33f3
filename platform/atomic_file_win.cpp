#include <windows.h>

#include <algorithm>
#include <chrono>

#include "platform/atomic_file.h"

namespace orvelle {

namespace fs = std::filesystem;

namespace {

constexpr int kNameAttempts = 100;
// A temporary is open, and so cannot be deleted, while it is written; this
// margin covers the moment between closing it and moving it into place.
constexpr auto kAbandonedAfter = std::chrono::minutes(1);

FileWriteResult Failure(DWORD err) {
  return {FileWriteStatus::Failed, std::error_code(static_cast<int>(err), std::system_category())};
}

fs::path FolderOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

void RemoveAbandonedTemporaries(const fs::path& target) {
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  for (const auto& entry : fs::directory_iterator(FolderOf(target), ec)) {
    if (!detail::IsTemporaryOf(entry.path(), target)) continue;
    const auto written = fs::last_write_time(entry.path(), ec);
    if (!ec && now - written > kAbandonedAfter) ::DeleteFileW(entry.path().c_str());
  }
}

bool WriteAll(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 30));
    if (!::WriteFile(file, data.data(), chunk, &written, nullptr) || written == 0) return false;
    data.remove_prefix(written);
  }
  return true;
}

}  // namespace

FileWriteResult WriteFileAtomically(const fs::path& path, std::string_view content, NewFileAccess) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
      return {FileWriteStatus::NotRegularFile, {}};
    if (attributes & FILE_ATTRIBUTE_READONLY) return {FileWriteStatus::ReadOnly, {}};
  } else if (const DWORD err = ::GetLastError();
             err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND) {
    return Failure(err);
  }
  RemoveAbandonedTemporaries(path);
  fs::path temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < kNameAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = detail::TemporaryFor(path);
    // Not shared: nobody deletes or opens it while it is written.
    file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) return Failure(::GetLastError());
  const bool written = WriteAll(file, content) && ::FlushFileBuffers(file);
  const DWORD writeError = written ? ERROR_SUCCESS : ::GetLastError();
  ::CloseHandle(file);
  if (!written) {
    ::DeleteFileW(temporary.c_str());
    return Failure(writeError);
  }
  if (!::MoveFileExW(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD moveError = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    return Failure(moveError);
  }
  return {FileWriteStatus::Written, {}};
}

}  // namespace orvelle
