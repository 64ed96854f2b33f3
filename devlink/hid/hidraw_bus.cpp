#include "devlink/hid/hidraw_bus.h"

#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <thread>
#include <utility>

#include "devlink/hid/controller_lock.h"
#include "devlink/hid/event.h"
#include "devlink/hid/hidraw_sysfs.h"
#include "devlink/hid/tlc_reports.h"

namespace orvelle {
namespace {

// The largest report a hidraw node hands out (the kernel's HID buffer).
constexpr size_t kMaxNodeReport = 16384;
constexpr short kGoneEvents = POLLERR | POLLHUP | POLLNVAL;

enum class Wait : uint8_t { Ready, Stopped, Gone };

// Waits for `events` on fd, or for the stop event. A vanished device shows in
// the revents, as hidapi notices it; read() alone would not tell.
Wait WaitFor(int fd, short events, const Event& stop) {
  for (;;) {
    pollfd fds[2] = {{fd, events, 0}, {stop.PollFd(), POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return Wait::Gone;
    }
    if (fds[1].revents & POLLIN) return Wait::Stopped;
    if (fds[0].revents & kGoneEvents) return Wait::Gone;
    if (fds[0].revents & events) return Wait::Ready;
  }
}

class HidrawChannel : public HidChannel {
 public:
  HidrawChannel(int fd, TlcReportFilter filter)
      : fd_(fd), filters_{std::move(filter)}, raw_(kMaxNodeReport) {}
  ~HidrawChannel() override { close(fd_); }

  // Reads for `other`'s collections too, which must be of the same node:
  // this descriptor gets their reports as well.
  void ServeAlso(const HidrawChannel& other) {
    filters_.insert(filters_.end(), other.filters_.begin(), other.filters_.end());
  }

  ReadResult Read(std::span<uint8_t> buf, const Event& stop) override {
    // With no room every report would be dropped as someone else's.
    if (buf.empty()) return {ReadStatus::Gone, 0};
    for (;;) {
      switch (WaitFor(fd_, POLLIN, stop)) {
        case Wait::Stopped:
          return {ReadStatus::Stopped, 0};
        case Wait::Gone:
          return {ReadStatus::Gone, 0};
        case Wait::Ready:
          break;
      }
      const ssize_t n = read(fd_, raw_.data(), raw_.size());
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (n <= 0) return {ReadStatus::Gone, 0};
      const auto raw = std::span(raw_).first(static_cast<size_t>(n));
      for (size_t member = 0; member < filters_.size(); ++member) {
        const size_t count = filters_[member].Deliver(raw, buf);
        if (count > 0) return {ReadStatus::Data, count, member};
      }
      // A report of a collection nobody reads here.
    }
  }

  bool Write(std::span<const uint8_t> report, const Event& stop) override {
    if (report.empty()) return false;
    size_t done = 0;
    while (done < report.size()) {
      if (WaitFor(fd_, POLLOUT, stop) != Wait::Ready) return false;
      const ssize_t n = write(fd_, report.data() + done, report.size() - done);
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

 private:
  const int fd_;
  std::vector<TlcReportFilter> filters_;
  std::vector<uint8_t> raw_;
};

class HidrawWatch : public DeviceWatch {
 public:
  HidrawWatch(HidrawRoots roots, udev* context, udev_monitor* monitor, int wakeFd,
              HidBus::NoticeCallback callback)
      : roots_(std::move(roots)),
        udev_(context),
        monitor_(monitor),
        wakeFd_(wakeFd),
        callback_(std::move(callback)) {
    // The monitor already listens, so a node added from here on is either
    // seen below or queued in the monitor.
    for (const auto& name : ListHidrawNodes(roots_.sysfs)) {
      const size_t count = NodeCollections(roots_, name).size();
      if (count > 0) known_[roots_.dev + "/" + name] = {NodeIdOf(roots_, name), count};
    }
    thread_ = std::thread([this] { Run(); });
  }

  ~HidrawWatch() override {
    const uint64_t one = 1;
    while (write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
    thread_.join();
    udev_monitor_unref(monitor_);
    udev_unref(udev_);
    close(wakeFd_);
  }

 private:
  void Run() {
    for (;;) {
      pollfd fds[2] = {{udev_monitor_get_fd(monitor_), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents != 0) return;
      if (fds[0].revents & POLLIN) Receive();
    }
  }

  void Receive() {
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (device == nullptr) return;
    const char* action = udev_device_get_action(device);
    const char* sysname = udev_device_get_sysname(device);
    if (action != nullptr && sysname != nullptr && IsHidrawName(sysname)) {
      const std::string what = action;
      const bool added = what == "add";
      const size_t count = added ? NodeCollections(roots_, sysname).size() : 0;
      const std::string id = added ? NodeIdOf(roots_, sysname) : std::string();
      for (const auto& notice :
           NoticesForNodeEvent(known_, what, roots_.dev + "/" + sysname, id, count)) {
        callback_(notice);
      }
    }
    udev_device_unref(device);
  }

  const HidrawRoots roots_;
  udev* const udev_;
  udev_monitor* const monitor_;
  const int wakeFd_;
  const HidBus::NoticeCallback callback_;
  KnownNodes known_;
  std::thread thread_;
};

class HidrawBus : public HidBus {
 public:
  explicit HidrawBus(HidrawRoots roots) : roots_(std::move(roots)) {}

  std::vector<HidCollection> Enumerate() override {
    std::vector<HidCollection> all;
    for (const auto& name : ListHidrawNodes(roots_.sysfs)) {
      for (auto& c : NodeCollections(roots_, name))
        all.push_back(std::move(c));
    }
    return all;
  }

  std::unique_ptr<HidChannel> Open(const std::string& path, Access access) override {
    std::string node;
    size_t index = 0;
    if (!Owns(path) || !SplitCollectionPath(path, node, index)) return nullptr;
    if (node.size() <= roots_.dev.size() + 1 || !Owns(node)) return nullptr;
    const std::string name = NodeNamed(node);
    if (name.empty()) {
      errno = ENOENT;
      return nullptr;
    }
    const std::string file = roots_.dev + "/" + name;
    const int mode = access == Access::Read ? O_RDONLY : O_WRONLY;
    const int fd = open(file.c_str(), mode | O_CLOEXEC | O_NONBLOCK);
    // errno stays as open left it: EACCES tells the program to name the fix.
    if (fd < 0) return nullptr;
    // The descriptor is read again: the node may hold another device by now.
    const auto descriptor = ReadNodeDescriptor(roots_, name, fd);
    const auto parsed = descriptor ? ParseReportDescriptor(*descriptor) : std::nullopt;
    if (!parsed || index >= parsed->collections.size()) {
      close(fd);
      errno = ENODEV;
      return nullptr;
    }
    return std::make_unique<HidrawChannel>(fd, TlcReportFilter::For(*parsed, index));
  }

  std::unique_ptr<DeviceWatch> WatchDevices(NoticeCallback callback) override {
    udev* context = udev_new();
    if (context == nullptr) return nullptr;
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (monitor == nullptr || wakeFd < 0 ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
      if (wakeFd >= 0) close(wakeFd);
      if (monitor != nullptr) udev_monitor_unref(monitor);
      udev_unref(context);
      return nullptr;
    }
    try {
      return std::make_unique<HidrawWatch>(roots_, context, monitor, wakeFd, std::move(callback));
    } catch (const std::system_error&) {
      // No thread could be started: no watching, as when udev is missing.
      close(wakeFd);
      udev_monitor_unref(monitor);
      udev_unref(context);
      return nullptr;
    }
  }

  bool Owns(const std::string& path) const override {
    return path.rfind(roots_.dev + "/hidraw", 0) == 0;
  }

  // The lock is the node's own: every program opens it, whoever it runs as.
  LockStatus TryLockController(const std::string& path, std::unique_ptr<ControllerLock>& lock,
                               LockHolder& holder) override {
    std::string node;
    size_t index = 0;
    if (!Owns(path) || !SplitCollectionPath(path, node, index)) node = path;
    const std::string name = node.size() > roots_.dev.size() + 1 ? NodeNamed(node) : "";
    if (name.empty()) {
      errno = ENOENT;
      return LockStatus::Failed;
    }
    const std::string file = roots_.dev + "/" + name;
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == EACCES) fd = open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    return LockOpenFile(fd, lock, holder);
  }

  // The first open of each node reads for the node's other collections; the
  // others are closed.
  std::vector<SharedReader> ShareReads(std::vector<ReadOpen> opens) override {
    std::vector<SharedReader> shared;
    std::vector<std::pair<std::string, size_t>> nodes;  // node, its reader in `shared`
    for (size_t i = 0; i < opens.size(); ++i) {
      if (!opens[i].channel) continue;
      auto* channel = dynamic_cast<HidrawChannel*>(opens[i].channel.get());
      std::string node;
      size_t index = 0;
      if (!SplitCollectionPath(opens[i].path, node, index)) node = opens[i].path;
      const auto same =
          std::find_if(nodes.begin(), nodes.end(), [&](const auto& n) { return n.first == node; });
      if (channel == nullptr || same == nodes.end()) {
        // The first open of a node reads for the node; a channel not of this
        // bus keeps reading for its own collection.
        if (channel != nullptr) nodes.emplace_back(node, shared.size());
        shared.push_back({std::move(opens[i].channel), {i}});
        continue;
      }
      SharedReader& first = shared[same->second];
      static_cast<HidrawChannel&>(*first.channel).ServeAlso(*channel);
      first.members.push_back(i);
      opens[i].channel.reset();
    }
    return shared;
  }

 private:
  // The present node that a collection path's node part names, or empty.
  std::string NodeNamed(const std::string& id) const {
    const std::string rest = id.substr(roots_.dev.size() + 1);
    if (IsHidrawName(rest)) return rest;
    for (const auto& name : ListHidrawNodes(roots_.sysfs)) {
      if (NodeIdOf(roots_, name) == id) return name;
    }
    return {};
  }

  const HidrawRoots roots_;
};

}  // namespace

std::unique_ptr<HidBus> MakeHidrawBus(const HidrawRoots& roots) {
  return std::make_unique<HidrawBus>(roots);
}

}  // namespace orvelle
