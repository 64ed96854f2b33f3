// The simulator transport on POSIX: a node is a SOCK_SEQPACKET Unix socket in
// a folder of the user's own, watched with inotify.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "devlink/hid/controller_lock.h"
#include "devlink/hid/event.h"
#include "devlink/hid/sim_bus.h"
#include "devlink/hid/sim_bus_link.h"
#include "platform/unique_fd.h"

namespace orvelle {
namespace {

// Polls `fd` for `events` together with `stop`; 0 when the time-out passed,
// -1 when stopped, else the descriptor's events.
int PollWithStop(int fd, short events, const Event* stop, std::chrono::milliseconds timeout) {
  for (;;) {
    pollfd fds[2] = {{fd, events, 0}, {stop ? stop->PollFd() : -1, POLLIN, 0}};
    const int n = poll(fds, 2, timeout.count() < 0 ? -1 : static_cast<int>(timeout.count()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return POLLERR;
    if (fds[1].revents) return -1;
    return fds[0].revents;
  }
}

class SocketConnection final : public SimConnection {
 public:
  explicit SocketConnection(int fd) : fd_(fd) {}

  Status Receive(std::span<uint8_t> buffer, size_t& length, const Event* stop,
                 std::chrono::milliseconds timeout) override {
    for (;;) {
      const int events = PollWithStop(fd_.Get(), POLLIN, stop, timeout);
      if (events < 0) return Status::Stopped;
      if (events == 0) return Status::TimedOut;
      if (!(events & POLLIN)) return Status::Gone;
      const ssize_t n = recv(fd_.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
      if (n > 0) {
        length = static_cast<size_t>(n);
        return Status::Packet;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      return Status::Gone;
    }
  }

  bool Send(std::span<const uint8_t> packet, const Event* stop) override {
    for (;;) {
      const HidChannel::TryResult result = TrySend(packet);
      if (result != HidChannel::TryResult::WouldBlock)
        return result == HidChannel::TryResult::Written;
      const int events = PollWithStop(fd_.Get(), POLLOUT, stop, kNoTimeLimit);
      if (events < 0 || (events & (POLLHUP | POLLERR | POLLNVAL))) return false;
    }
  }

  HidChannel::TryResult TrySend(std::span<const uint8_t> packet) override {
    const ssize_t n = send(fd_.Get(), packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n == static_cast<ssize_t>(packet.size())) return HidChannel::TryResult::Written;
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return HidChannel::TryResult::WouldBlock;
    return HidChannel::TryResult::Failed;
  }

 private:
  UniqueFd fd_;
};

bool IsNodeName(const std::string& name) {
  return !name.empty() && name[0] != '.';
}

class InotifyWatch final : public SimFolderWatch {
 public:
  explicit InotifyWatch(int fd) : fd_(fd) {}

  bool Wait(const Event& stop) override {
    alignas(inotify_event) char buffer[8192];
    for (;;) {
      const int events = PollWithStop(fd_.Get(), POLLIN, &stop, kNoTimeLimit);
      if (events < 0) return false;
      // Whatever the events say, the caller looks at the folder again.
      if ((events & POLLIN) && read(fd_.Get(), buffer, sizeof buffer) > 0) return true;
    }
  }

 private:
  UniqueFd fd_;
};

}  // namespace

std::unique_ptr<SimConnection> ConnectSimNode(const std::string& node) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (node.size() >= sizeof address.sun_path) return nullptr;
  std::memcpy(address.sun_path, node.c_str(), node.size());
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return nullptr;
  auto connection = std::make_unique<SocketConnection>(fd);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return nullptr;
  return connection;
}

std::vector<SimNodeEntry> ListSimNodes(const std::string& folder) {
  std::vector<SimNodeEntry> nodes;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return nodes;
  while (dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (!IsNodeName(name)) continue;
    const std::string path = SimNodePath(folder, name);
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
    // A socket made again at the same place is another file.
    const uint64_t identity = static_cast<uint64_t>(st.st_ino) * 1000003u ^
                              static_cast<uint64_t>(st.st_ctim.tv_sec) * 1000000000u ^
                              static_cast<uint64_t>(st.st_ctim.tv_nsec);
    nodes.push_back({path, identity});
  }
  closedir(dir);
  std::sort(nodes.begin(), nodes.end(),
            [](const SimNodeEntry& a, const SimNodeEntry& b) { return a.path < b.path; });
  return nodes;
}

std::unique_ptr<SimFolderWatch> WatchSimFolder(const std::string& folder) {
  const int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (fd < 0) return nullptr;
  auto watch = std::make_unique<InotifyWatch>(fd);
  if (inotify_add_watch(fd, folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM) <
      0) {
    return nullptr;
  }
  return watch;
}

LockStatus LockSimFile(const std::string& file, std::unique_ptr<ControllerLock>& lock,
                       LockHolder& holder) {
  return LockOpenFile(open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600), lock,
                      holder);
}

std::string SimFolderFault(const std::string& folder) {
  std::error_code ec;
  const std::filesystem::path path(folder);
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::strerror(errno);
  struct stat st;
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return "it is not a directory (a symbolic link is not followed)";
  if (st.st_uid != geteuid())
    return "it belongs to user " + std::to_string(st.st_uid) + ", not to this user";
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "others may write in it";
  return {};
}

std::string DefaultSimDir() {
  if (const char* dir = std::getenv("ORVELLE_SIM_DIR"); dir && *dir) return dir;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    return std::string(runtime) + "/orvelle-sim";
  }
  return "/tmp/orvelle-sim-" + std::to_string(getuid());
}

}  // namespace orvelle
