#include "devlink/hid/sim_bus.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
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
#include <map>
#include <optional>
#include <thread>
#include <utility>

#include "devlink/hid/controller_lock.h"
#include "devlink/hid/descriptor.h"
#include "devlink/hid/event.h"
#include "devlink/hid/sim_wire.h"
#include "devlink/hid/tlc_reports.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;

constexpr int kHeaderTimeoutMs = 1000;

struct NodeInfo {
  VirtualDeviceIdentity identity;
  ParsedDescriptor descriptor;
};

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(Fd&& o) noexcept : fd_(o.release()) {}
  Fd& operator=(Fd&& o) noexcept {
    reset(o.release());
    return *this;
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

Fd ConnectNode(const std::string& node) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (node.size() >= sizeof address.sun_path) return Fd();
  std::memcpy(address.sun_path, node.c_str(), node.size());
  Fd fd(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (fd.get() < 0) return Fd();
  if (connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return Fd();
  return fd;
}

// Connects and reads the device's header: what the hidraw ioctls would give.
std::optional<NodeInfo> ProbeNode(const std::string& node, Fd* keep = nullptr) {
  Fd fd = ConnectNode(node);
  if (fd.get() < 0) return std::nullopt;
  pollfd p{fd.get(), POLLIN, 0};
  if (poll(&p, 1, kHeaderTimeoutMs) <= 0 || !(p.revents & POLLIN)) return std::nullopt;
  std::vector<uint8_t> packet(kSimMaxPacket + 512);
  const ssize_t n = recv(fd.get(), packet.data(), packet.size(), MSG_DONTWAIT);
  if (n <= 0) return std::nullopt;
  NodeInfo info;
  if (!DecodeSimHeader({packet.data(), static_cast<size_t>(n)}, info.identity)) {
    return std::nullopt;
  }
  auto parsed = ParseReportDescriptor(info.identity.reportDescriptor);
  if (!parsed) return std::nullopt;  // a bad descriptor skips the device
  info.descriptor = std::move(*parsed);
  if (keep) *keep = std::move(fd);
  return info;
}

// Sends the open's hello and waits for the device's echo, so that every
// report sent after Open returns reaches this open.
bool Greet(int fd, const SimSubscription& subscription) {
  const auto hello = EncodeSimHello(subscription);
  if (send(fd, hello.data(), hello.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(hello.size())) {
    return false;
  }
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, kHeaderTimeoutMs) <= 0 || !(p.revents & POLLIN)) return false;
  std::vector<uint8_t> echo(hello.size() + 1);
  return recv(fd, echo.data(), echo.size(), MSG_DONTWAIT) == static_cast<ssize_t>(hello.size()) &&
         std::equal(hello.begin(), hello.end(), echo.begin());
}

bool IsNodeName(const std::string& name) {
  return !name.empty() && name[0] != '.';
}

std::vector<std::string> ListNodes(const std::string& folder) {
  std::vector<std::string> nodes;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return nodes;
  while (dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (!IsNodeName(name)) continue;
    const std::string path = folder + "/" + name;
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) nodes.push_back(path);
  }
  closedir(dir);
  std::sort(nodes.begin(), nodes.end());
  return nodes;
}

class SimChannel final : public HidChannel {
 public:
  SimChannel(Fd fd, TlcReportFilter filter) : fd_(std::move(fd)), filter_(std::move(filter)) {}

  ReadResult Read(std::span<uint8_t> buf, const Event& stop) override {
    for (;;) {
      pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {stop.PollFd(), POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return {ReadStatus::Gone, 0};
      }
      if (fds[1].revents) return {ReadStatus::Stopped, 0};
      if (fds[0].revents & POLLIN) {
        const ssize_t n = recv(fd_.get(), packet_, sizeof packet_, MSG_DONTWAIT);
        if (n > 0) {
          const size_t length = filter_.Deliver({packet_, static_cast<size_t>(n)}, buf);
          if (length > 0) return {ReadStatus::Data, length};
          continue;  // another collection's report
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        return {ReadStatus::Gone, 0};
      }
      if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return {ReadStatus::Gone, 0};
    }
  }

  TryResult TryWrite(std::span<const uint8_t> report) override {
    const ssize_t n = send(fd_.get(), report.data(), report.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n == static_cast<ssize_t>(report.size())) return TryResult::Written;
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return TryResult::WouldBlock;
    return TryResult::Failed;
  }

  bool Write(std::span<const uint8_t> report, const Event& stop) override {
    for (;;) {
      pollfd fds[2] = {{fd_.get(), POLLOUT, 0}, {stop.PollFd(), POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (fds[1].revents) return false;
      if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return false;
      const ssize_t n = send(fd_.get(), report.data(), report.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
      if (n == static_cast<ssize_t>(report.size())) return true;
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      return false;
    }
  }

 private:
  Fd fd_;
  TlcReportFilter filter_;
  uint8_t packet_[kSimMaxPacket];
};

// Watches the folder: a socket renamed into place is a device plugged in, a
// socket removed is a device unplugged; one notice per collection.
class SimWatch final : public DeviceWatch {
 public:
  SimWatch(std::string folder, HidBus::NoticeCallback callback)
      : folder_(std::move(folder)), callback_(std::move(callback)) {
    inotify_.reset(inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    if (inotify_.get() >= 0) {
      inotify_add_watch(inotify_.get(), folder_.c_str(),
                        IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM);
    }
    for (const std::string& node : ListNodes(folder_)) {
      if (auto info = ProbeNode(node)) known_[node] = info->descriptor.collections.size();
    }
    thread_ = std::thread(&SimWatch::Run, this);
  }

  ~SimWatch() override {
    stop_.Set();
    thread_.join();
  }

  bool Ok() const { return inotify_.get() >= 0; }

 private:
  void Run() {
    alignas(inotify_event) char buffer[8192];
    for (;;) {
      pollfd fds[2] = {{inotify_.get(), POLLIN, 0}, {stop_.PollFd(), POLLIN, 0}};
      if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
      if (fds[1].revents) return;
      if (!(fds[0].revents & POLLIN)) continue;
      const ssize_t n = read(inotify_.get(), buffer, sizeof buffer);
      for (ssize_t at = 0; n > 0 && at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        const std::string name = e->len ? e->name : "";
        if (!IsNodeName(name)) continue;
        const std::string node = folder_ + "/" + name;
        if (e->mask & (IN_CREATE | IN_MOVED_TO)) Arrived(node);
        if (e->mask & (IN_DELETE | IN_MOVED_FROM)) Removed(node);
      }
    }
  }

  void Arrived(const std::string& node) {
    // A socket made in place by another tool may not listen yet.
    std::optional<NodeInfo> info;
    for (int attempt = 0; attempt < 10 && !info && !stop_.IsSet(); ++attempt) {
      info = ProbeNode(node);
      if (!info) stop_.Wait(20ms);
    }
    if (!info) return;
    const size_t count = info->descriptor.collections.size();
    known_[node] = count;
    for (size_t i = 0; i < count; ++i) {
      callback_({DeviceNotice::Kind::Arrival, CollectionPath(node, i)});
    }
  }

  void Removed(const std::string& node) {
    auto it = known_.find(node);
    if (it == known_.end()) return;
    const size_t count = it->second;
    known_.erase(it);
    for (size_t i = 0; i < count; ++i) {
      callback_({DeviceNotice::Kind::Removal, CollectionPath(node, i)});
    }
  }

  const std::string folder_;
  const HidBus::NoticeCallback callback_;
  Fd inotify_;
  Event stop_;
  std::map<std::string, size_t> known_;  // node -> collection count
  std::thread thread_;
};

class SimBus final : public HidBus {
 public:
  explicit SimBus(std::string folder) : folder_(std::move(folder)) {}

  std::vector<HidCollection> Enumerate() override {
    std::vector<HidCollection> out;
    if (!PrepareSimFolder(folder_)) return out;
    for (const std::string& node : ListNodes(folder_)) {
      const auto info = ProbeNode(node);
      if (!info) continue;
      for (size_t i = 0; i < info->descriptor.collections.size(); ++i) {
        const TopLevelCollection& tlc = info->descriptor.collections[i];
        HidCollection c;
        c.path = CollectionPath(node, i);
        c.vendorId = info->identity.vendorId;
        c.productId = info->identity.productId;
        c.caps = CapsState::Ok;
        c.inputLength = tlc.inputLength;
        c.outputLength = tlc.outputLength;
        c.simulated = true;
        out.push_back(std::move(c));
      }
    }
    return out;
  }

  std::unique_ptr<HidChannel> Open(const std::string& path, Access access) override {
    std::string node;
    size_t index = 0;
    if (!Owns(path) || !SplitCollectionPath(path, node, index)) return nullptr;
    if (!PrepareSimFolder(folder_)) {
      errno = EPERM;
      return nullptr;
    }
    Fd fd;
    const auto info = ProbeNode(node, &fd);
    if (!info || index >= info->descriptor.collections.size()) return nullptr;
    TlcReportFilter filter = TlcReportFilter::For(info->descriptor, index);
    // The device sends an open only the reports of its collection, none to a
    // write-only open.
    SimSubscription subscription;
    subscription.reads = access == Access::Read;
    subscription.allReports = !filter.usesReportIds;
    if (filter.usesReportIds) subscription.reportIds = filter.inputReportIds;
    if (!Greet(fd.get(), subscription)) return nullptr;
    return std::make_unique<SimChannel>(std::move(fd), std::move(filter));
  }

  std::unique_ptr<DeviceWatch> WatchDevices(NoticeCallback callback) override {
    if (!PrepareSimFolder(folder_)) return nullptr;
    auto watch = std::make_unique<SimWatch>(folder_, std::move(callback));
    if (!watch->Ok()) return nullptr;
    return watch;
  }

  bool Owns(const std::string& path) const override {
    return path.size() > folder_.size() && path.compare(0, folder_.size(), folder_) == 0 &&
           path[folder_.size()] == '/';
  }

  // A socket cannot be locked for every program: a file beside it, hidden from
  // the device list, stands for the controller.
  LockStatus TryLockController(const std::string& path, std::unique_ptr<ControllerLock>& lock,
                               LockHolder& holder) override {
    std::string node;
    size_t index = 0;
    if (!Owns(path) || !SplitCollectionPath(path, node, index) || !PrepareSimFolder(folder_)) {
      errno = ENOENT;
      return LockStatus::Failed;
    }
    const std::string file = folder_ + "/." + node.substr(folder_.size() + 1) + ".lock";
    const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    return LockOpenFile(fd, lock, holder);
  }

 private:
  const std::string folder_;
};

}  // namespace

bool PrepareSimFolder(const std::string& folder, std::string* why) {
  const auto refuse = [&](const std::string& reason) {
    if (why) {
      *why = "the simulator folder " + folder + " cannot be used: " + reason +
             "; choose another with --dir or ORVELLE_SIM_DIR";
    }
    return false;
  };
  if (folder.empty()) return refuse("no folder given");
  std::error_code ec;
  const std::filesystem::path path(folder);
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return refuse(std::strerror(errno));
  struct stat st;
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return refuse("it is not a directory (a symbolic link is not followed)");
  if (st.st_uid != geteuid())
    return refuse("it belongs to user " + std::to_string(st.st_uid) + ", not to this user");
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return refuse("others may write in it");
  return true;
}

std::string DefaultSimDir() {
  if (const char* dir = std::getenv("ORVELLE_SIM_DIR"); dir && *dir) return dir;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    return std::string(runtime) + "/orvelle-sim";
  }
  return "/tmp/orvelle-sim-" + std::to_string(getuid());
}

std::unique_ptr<HidBus> MakeSimBus(const std::string& folder) {
  std::string clean = folder;
  while (clean.size() > 1 && clean.back() == '/')
    clean.pop_back();
  return std::make_unique<SimBus>(clean);
}

}  // namespace orvelle
