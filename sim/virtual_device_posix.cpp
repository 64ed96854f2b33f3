// A simulator node on POSIX: a SOCK_SEQPACKET Unix socket, served by one
// thread that polls the listening socket and every connection.
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "devlink/hid/sim_bus_link.h"
#include "devlink/hid/sim_wire.h"
#include "sim/virtual_device_server.h"

namespace orvelle {
namespace {

bool MakeAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size());
  return true;
}

class SocketServer final : public SimNodeServer {
 public:
  SocketServer(std::string path, int listenFd, std::vector<uint8_t> header, Handler handler)
      : path_(std::move(path)),
        listenFd_(listenFd),
        wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
        header_(std::move(header)),
        handler_(std::move(handler)),
        thread_(&SocketServer::Serve, this) {}

  ~SocketServer() override {
    unlink(path_.c_str());
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t w = write(wakeFd_, &one, sizeof one);
    thread_.join();
    for (const auto& [fd, id] : connections_)
      close(fd);
    close(listenFd_);
    close(wakeFd_);
  }

  SendResult Send(Id id, std::span<const uint8_t> packet) override {
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(connections_.begin(), connections_.end(),
                                 [id](const auto& c) { return c.second == id; });
    if (it == connections_.end()) return SendResult::Broken;
    if (send(it->first, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >= 0)
      return SendResult::Sent;
    return errno == EAGAIN || errno == EWOULDBLOCK ? SendResult::Full : SendResult::Broken;
  }

  size_t ConnectionCount() const override {
    std::lock_guard lock(mutex_);
    return connections_.size();
  }

 private:
  void Accept() {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    // Room for a burst of reports while a reader is busy.
    const int bufferSize = 1 << 20;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bufferSize, sizeof bufferSize);
    if (send(fd, header_.data(), header_.size(), MSG_DONTWAIT | MSG_NOSIGNAL) !=
        static_cast<ssize_t>(header_.size())) {
      close(fd);
      return;
    }
    std::lock_guard lock(mutex_);
    connections_.emplace_back(fd, nextId_++);
  }

  void Serve() {
    pthread_setname_np(pthread_self(), "orv-sim-device");
    std::vector<pollfd> fds;
    std::vector<uint8_t> packet(kSimMaxPacket);
    for (;;) {
      fds.clear();
      fds.push_back({wakeFd_, POLLIN, 0});
      fds.push_back({listenFd_, POLLIN, 0});
      {
        std::lock_guard lock(mutex_);
        for (const auto& [fd, id] : connections_)
          fds.push_back({fd, POLLIN, 0});
      }
      if (poll(fds.data(), fds.size(), -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[0].revents) return;
      if (fds[1].revents & POLLIN) Accept();
      for (size_t i = 2; i < fds.size(); ++i) {
        if (!fds[i].revents) continue;
        bool ended = !(fds[i].revents & POLLIN);
        if (!ended) {
          const ssize_t n = recv(fds[i].fd, packet.data(), packet.size(), MSG_DONTWAIT);
          if (n > 0) {
            ended = !handler_.received(IdOf(fds[i].fd), {packet.data(), static_cast<size_t>(n)});
          } else {
            ended = !(n < 0 && (errno == EAGAIN || errno == EINTR));
          }
        }
        if (ended) End(fds[i].fd);
      }
    }
  }

  Id IdOf(int fd) const {
    std::lock_guard lock(mutex_);
    for (const auto& [cfd, id] : connections_)
      if (cfd == fd) return id;
    return 0;
  }

  void End(int fd) {
    const Id id = IdOf(fd);
    {
      std::lock_guard lock(mutex_);
      std::erase_if(connections_, [fd](const auto& c) { return c.first == fd; });
    }
    close(fd);
    handler_.gone(id);
  }

  const std::string path_;
  const int listenFd_;
  const int wakeFd_;
  const std::vector<uint8_t> header_;
  const Handler handler_;
  mutable std::mutex mutex_;
  std::vector<std::pair<int, Id>> connections_;  // descriptor, id
  Id nextId_ = 1;
  std::thread thread_;  // last: it starts once everything else is made
};

}  // namespace

std::unique_ptr<SimNodeServer> ServeSimNode(const std::string& path, std::vector<uint8_t> header,
                                            SimNodeServer::Handler handler, std::string& error) {
  const std::filesystem::path target(path);
  std::string hiddenName = target.filename().string();
  hiddenName.insert(0, 1, '.');
  hiddenName.append(".").append(std::to_string(getpid()));
  const std::string temporary = (target.parent_path() / hiddenName).string();
  sockaddr_un address;
  if (!MakeAddress(temporary, address)) {
    error = "socket path too long: " + path;
    return nullptr;
  }
  if (ConnectSimNode(path)) {
    error = "another device is plugged in at " + path;
    return nullptr;
  }
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return nullptr;
  }
  unlink(temporary.c_str());
  // Bound and listening under a hidden name first, so that a watcher never
  // sees a socket that refuses connections.
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0 ||
      rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot create " + path + ": " + std::strerror(errno);
    unlink(temporary.c_str());
    close(fd);
    return nullptr;
  }
  return std::make_unique<SocketServer>(path, fd, std::move(header), std::move(handler));
}

}  // namespace orvelle
