#include "sim/virtual_device.h"

#include "devlink/hid/sim_bus.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace orvelle {
namespace {

bool MakeAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size());
  return true;
}

// True when something answers on the socket at `path`.
bool SocketInUse(const std::string& path) {
  sockaddr_un address;
  if (!MakeAddress(path, address)) return false;
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool inUse = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return inUse;
}

}  // namespace

VirtualHidDevice::VirtualHidDevice(VirtualDeviceIdentity identity, OutputHandler onOutput)
    : identity_(std::move(identity)), onOutput_(std::move(onOutput)) {}

VirtualHidDevice::~VirtualHidDevice() {
  Unplug();
}

bool VirtualHidDevice::Client::Wants(uint8_t reportId) const {
  if (!greeted || !subscription.reads) return false;
  return subscription.allReports ||
         std::binary_search(subscription.reportIds.begin(), subscription.reportIds.end(), reportId);
}

bool VirtualHidDevice::Plug(const std::string& socketPath) {
  std::lock_guard lock(mutex_);
  if (listenFd_ >= 0) {
    error_ = "already plugged in at " + path_;
    return false;
  }
  sockaddr_un address;
  const std::filesystem::path target(socketPath);
  std::string hiddenName = target.filename().string();
  hiddenName.insert(0, 1, '.');
  hiddenName.append(".").append(std::to_string(getpid()));
  const std::string temporary = (target.parent_path() / hiddenName).string();
  if (!MakeAddress(temporary, address)) {
    error_ = "socket path too long: " + socketPath;
    return false;
  }
  // The programs use the folder only when it is this user's alone; a device
  // they would never find must not look plugged in.
  if (!PrepareSimFolder(target.parent_path().string(), &error_)) return false;
  if (SocketInUse(socketPath)) {
    error_ = "another device is plugged in at " + socketPath;
    return false;
  }
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    error_ = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  unlink(temporary.c_str());
  // Bound and listening under a hidden name first, so that a watcher never
  // sees a socket that refuses connections.
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0 ||
      rename(temporary.c_str(), socketPath.c_str()) != 0) {
    error_ = "cannot create " + socketPath + ": " + std::strerror(errno);
    unlink(temporary.c_str());
    close(fd);
    return false;
  }
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  listenFd_ = fd;
  path_ = socketPath;
  error_.clear();
  server_ = std::thread(&VirtualHidDevice::Serve, this);
  return true;
}

void VirtualHidDevice::Unplug() {
  {
    std::lock_guard lock(mutex_);
    if (listenFd_ < 0) return;
    // The file goes first: programs learn of the removal from the folder.
    unlink(path_.c_str());
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t w = write(wakeFd_, &one, sizeof one);
  }
  server_.join();
  std::lock_guard lock(mutex_);
  CloseAll();
}

void VirtualHidDevice::CloseAll() {
  for (Client& c : clients_)
    close(c.fd);
  clients_.clear();
  close(listenFd_);
  close(wakeFd_);
  listenFd_ = -1;
  wakeFd_ = -1;
}

bool VirtualHidDevice::IsPlugged() const {
  std::lock_guard lock(mutex_);
  return listenFd_ >= 0;
}

std::string VirtualHidDevice::Path() const {
  std::lock_guard lock(mutex_);
  return path_;
}

std::string VirtualHidDevice::LastError() const {
  std::lock_guard lock(mutex_);
  return error_;
}

size_t VirtualHidDevice::OpenCount() const {
  std::lock_guard lock(mutex_);
  return clients_.size();
}

size_t VirtualHidDevice::SendInputReport(std::span<const uint8_t> report) {
  if (report.empty()) return 0;
  std::lock_guard lock(mutex_);
  size_t reached = 0;
  for (Client& c : clients_) {
    if (!c.Wants(report[0])) continue;
    if (send(c.fd, report.data(), report.size(), MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) {
      ++reached;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      dropped_.fetch_add(1);
    }
    // Other errors: the open is going away; the server thread sees the hang-up.
  }
  return reached;
}

bool VirtualHidDevice::Received(int fd, std::span<const uint8_t> packet) {
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(clients_.begin(), clients_.end(),
                           [fd](const Client& c) { return c.fd == fd; });
    if (it == clients_.end()) return false;
    if (!it->greeted) {
      // The first packet of an open must be its hello; the echo tells the
      // open that reports flow from now on.
      if (!DecodeSimHello(packet, it->subscription)) return false;
      it->greeted = true;
      return send(fd, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL) ==
             static_cast<ssize_t>(packet.size());
    }
  }
  if (onOutput_) onOutput_(packet);
  return true;
}

void VirtualHidDevice::AcceptClient() {
  const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;
  // Room for a burst of reports while a reader is busy.
  const int bufferSize = 1 << 20;
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bufferSize, sizeof bufferSize);
  const std::vector<uint8_t> header = EncodeSimHeader(identity_);
  if (send(fd, header.data(), header.size(), MSG_DONTWAIT | MSG_NOSIGNAL) !=
      static_cast<ssize_t>(header.size())) {
    close(fd);
    return;
  }
  std::lock_guard lock(mutex_);
  clients_.push_back({fd, false, {}});
}

void VirtualHidDevice::Serve() {
  pthread_setname_np(pthread_self(), "orv-sim-device");
  std::vector<pollfd> fds;
  std::vector<uint8_t> packet(kSimMaxPacket);
  for (;;) {
    fds.clear();
    {
      std::lock_guard lock(mutex_);
      fds.push_back({wakeFd_, POLLIN, 0});
      fds.push_back({listenFd_, POLLIN, 0});
      for (const Client& c : clients_)
        fds.push_back({c.fd, POLLIN, 0});
    }
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents) return;
    if (fds[1].revents & POLLIN) AcceptClient();
    std::vector<int> hungUp;
    for (size_t i = 2; i < fds.size(); ++i) {
      if (fds[i].revents & POLLIN) {
        const ssize_t n = recv(fds[i].fd, packet.data(), packet.size(), MSG_DONTWAIT);
        if (n > 0) {
          if (!Received(fds[i].fd, {packet.data(), static_cast<size_t>(n)})) {
            hungUp.push_back(fds[i].fd);
          }
          continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        hungUp.push_back(fds[i].fd);
      } else if (fds[i].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        hungUp.push_back(fds[i].fd);
      }
    }
    if (!hungUp.empty()) {
      std::lock_guard lock(mutex_);
      std::erase_if(clients_, [&](const Client& c) {
        if (std::find(hungUp.begin(), hungUp.end(), c.fd) == hungUp.end()) return false;
        close(c.fd);
        return true;
      });
    }
  }
}

}  // namespace orvelle
