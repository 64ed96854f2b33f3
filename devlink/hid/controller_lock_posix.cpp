#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "devlink/hid/controller_lock.h"

namespace orvelle {
namespace {

class FlockLock final : public ControllerLock {
 public:
  explicit FlockLock(int fd) : fd_(fd) {}
  ~FlockLock() override { close(fd_); }  // closing lets the lock go

 private:
  const int fd_;
};

// The program's file name, from its command line (readable for every user's
// processes), else its short name.
std::string ProgramOf(long pid) {
  const std::string proc = "/proc/" + std::to_string(pid);
  std::ifstream cmdline(proc + "/cmdline");
  std::string first;
  if (std::getline(cmdline, first, '\0') && !first.empty()) {
    return first.substr(first.find_last_of('/') + 1);
  }
  std::ifstream comm(proc + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// The kernel lists every flock() it holds in /proc/locks with the holder's
// process and the file as "major:minor:inode" (hexadecimal device numbers).
LockHolder HolderOf(int fd) {
  LockHolder holder;
  struct stat st;
  if (fstat(fd, &st) != 0) return holder;
  char file[64];
  std::snprintf(file, sizeof file, "%02x:%02x:%lu", major(st.st_dev), minor(st.st_dev),
                static_cast<unsigned long>(st.st_ino));
  std::ifstream locks("/proc/locks");
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string number, kind, advisory, access, where;
    long pid = 0;
    if (!(fields >> number >> kind) || kind != "FLOCK") continue;  // "->" marks a waiter
    if (!(fields >> advisory >> access >> pid >> where) || where != file || pid <= 0) continue;
    holder.pid = pid;
    holder.program = ProgramOf(pid);
    break;
  }
  return holder;
}

}  // namespace

LockStatus LockOpenFile(int fd, std::unique_ptr<ControllerLock>& lock, LockHolder& holder) {
  if (fd < 0) return LockStatus::Failed;
  int result;
  do {
    result = flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    lock = std::make_unique<FlockLock>(fd);
    return LockStatus::Taken;
  }
  const int error = errno;
  if (error == EWOULDBLOCK) holder = HolderOf(fd);
  close(fd);
  errno = error;
  return error == EWOULDBLOCK ? LockStatus::Busy : LockStatus::Failed;
}

}  // namespace orvelle
