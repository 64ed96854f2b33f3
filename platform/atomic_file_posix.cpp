#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/atomic_file.h"

namespace orvelle {

namespace fs = std::filesystem;

namespace {

constexpr int kNameAttempts = 100;
// As many links in a row as the kernel follows.
constexpr int kMaxLinks = 40;

FileWriteResult Failure(int err) {
  return {FileWriteStatus::Failed, std::error_code(err, std::generic_category())};
}

fs::path FolderOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Whether the kernel keeps its hands off an entry of `owner` in the folder of
// `entry`: in a folder that everyone may write in and whose sticky bit keeps
// each user's entries their own (as /tmp), it neither follows another user's
// link nor opens another user's file to write it, unless the folder is that
// user's (fs.protected_symlinks, fs.protected_regular). The writer keeps to
// that rule whether or not the kernel is told to.
bool GuardedFromUs(const fs::path& entry, uid_t owner) {
  if (owner == ::geteuid()) return false;
  struct stat folder {};
  if (::stat(FolderOf(entry).c_str(), &folder) != 0) return true;
  constexpr mode_t kShared = S_ISVTX | S_IWOTH;
  return (folder.st_mode & kShared) == kShared && folder.st_uid != owner;
}

// Follows symbolic links to the file they name, which need not exist yet, as
// far as the kernel's rule above lets it. Written: `target` is that file.
FileWriteResult ResolveLinks(const fs::path& path, fs::path& target) {
  target = path;
  for (int hops = 0; hops < kMaxLinks; ++hops) {
    struct stat link {};
    // Anything but a link ends the chain; what cannot be looked at, the
    // writer's own look at the file reports.
    if (::lstat(target.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
      return {FileWriteStatus::Written, {}};
    if (GuardedFromUs(target, link.st_uid)) return {FileWriteStatus::ForeignLink, {}};
    std::error_code ec;
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) return {FileWriteStatus::Failed, ec};
    target = next.is_absolute() ? next : FolderOf(target) / next;
  }
  return Failure(ELOOP);
}

bool SameFile(int fd, const fs::path& name) {
  struct stat opened {
  }, named{};
  return ::fstat(fd, &opened) == 0 && ::lstat(name.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// A writer holds the lock on its temporary until the rename, so a temporary
// whose lock can be taken belongs to a writer that was killed.
void RemoveAbandonedTemporaries(const fs::path& target) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(FolderOf(target), ec)) {
    if (!detail::IsTemporaryOf(entry.path(), target)) continue;
    const int fd = ::open(entry.path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;  // a planted link, or nothing we may touch
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && SameFile(fd, entry.path())) {
      ::unlink(entry.path().c_str());
    }
    ::close(fd);
  }
}

// A new temporary beside `target`, opened and locked; -1 with errno set.
int CreateTemporary(const fs::path& target, mode_t mode, fs::path& temporary) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    temporary = detail::TemporaryFor(target);
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return -1;
    // Another writer's clean-up may have taken the name between open and lock.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && SameFile(fd, temporary)) return fd;
    ::close(fd);
  }
  errno = EEXIST;
  return -1;
}

// Root replacing someone else's file leaves it theirs, with its mode.
bool TakeOverOwnerAndMode(int fd, const struct stat& replaced) {
  struct stat own {};
  if (::fstat(fd, &own) != 0) return false;
  if ((own.st_uid != replaced.st_uid || own.st_gid != replaced.st_gid) &&
      ::fchown(fd, replaced.st_uid, replaced.st_gid) != 0) {
    return false;
  }
  return ::fchmod(fd, replaced.st_mode & 0777) == 0;
}

}  // namespace

FileWriteResult WriteFileAtomically(const fs::path& path, std::string_view content,
                                    NewFileAccess access) {
  fs::path target;
  if (const FileWriteResult resolved = ResolveLinks(path, target); !resolved) return resolved;
  struct stat replaced {};
  const bool exists = ::stat(target.c_str(), &replaced) == 0;
  if (!exists && errno != ENOENT) return Failure(errno);
  if (exists) {
    if (!S_ISREG(replaced.st_mode)) return {FileWriteStatus::NotRegularFile, {}};
    if (GuardedFromUs(target, replaced.st_uid)) return {FileWriteStatus::ForeignFile, {}};
    if ((replaced.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS))
      return {FileWriteStatus::ReadOnly, {}};
  }
  RemoveAbandonedTemporaries(target);
  const mode_t newMode = access == NewFileAccess::OwnerOnly ? 0600 : 0644;
  fs::path temporary;
  const int fd = CreateTemporary(target, exists ? 0600 : newMode, temporary);
  if (fd < 0) return Failure(errno);
  const bool ok = (!exists || TakeOverOwnerAndMode(fd, replaced)) && WriteAll(fd, content) &&
                  ::fsync(fd) == 0 && ::rename(temporary.c_str(), target.c_str()) == 0;
  const int err = errno;
  if (!ok) ::unlink(temporary.c_str());
  // Closing drops the lock, only now that the temporary's name is gone.
  ::close(fd);
  if (!ok) return Failure(err);
  // The rename itself must reach the disk before the new content counts.
  if (const int dir = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return {FileWriteStatus::Written, {}};
}

}  // namespace orvelle
