#include "devlink/hid/sim_bus.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <thread>
#include <utility>

#include "devlink/hid/descriptor.h"
#include "devlink/hid/event.h"
#include "devlink/hid/sim_bus_link.h"
#include "devlink/hid/sim_wire.h"
#include "devlink/hid/tlc_reports.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kHeaderTimeout = 1000ms;

struct NodeInfo {
  VirtualDeviceIdentity identity;
  ParsedDescriptor descriptor;
};

// Connects and reads the device's header: what the hidraw ioctls would give.
std::optional<NodeInfo> ProbeNode(const std::string& node,
                                  std::unique_ptr<SimConnection>* keep = nullptr) {
  std::unique_ptr<SimConnection> connection = ConnectSimNode(node);
  if (!connection) return std::nullopt;
  std::vector<uint8_t> packet(kSimMaxPacket + 512);
  size_t length = 0;
  if (connection->Receive(packet, length, nullptr, kHeaderTimeout) !=
      SimConnection::Status::Packet) {
    return std::nullopt;
  }
  NodeInfo info;
  if (!DecodeSimHeader({packet.data(), length}, info.identity)) return std::nullopt;
  auto parsed = ParseReportDescriptor(info.identity.reportDescriptor);
  if (!parsed) return std::nullopt;  // a bad descriptor skips the device
  info.descriptor = std::move(*parsed);
  if (keep) *keep = std::move(connection);
  return info;
}

// Sends the open's hello and waits for the device's echo, so that every
// report sent after Open returns reaches this open.
bool Greet(SimConnection& connection, const SimSubscription& subscription) {
  const auto hello = EncodeSimHello(subscription);
  if (!connection.Send(hello, nullptr)) return false;
  std::vector<uint8_t> echo(hello.size() + 1);
  size_t length = 0;
  return connection.Receive(echo, length, nullptr, kHeaderTimeout) ==
             SimConnection::Status::Packet &&
         length == hello.size() && std::equal(hello.begin(), hello.end(), echo.begin());
}

class SimChannel final : public HidChannel {
 public:
  SimChannel(std::unique_ptr<SimConnection> connection, TlcReportFilter filter)
      : connection_(std::move(connection)), filter_(std::move(filter)) {}

  ReadResult Read(std::span<uint8_t> buf, const Event& stop) override {
    for (;;) {
      size_t n = 0;
      switch (connection_->Receive(packet_, n, &stop, kNoTimeLimit)) {
        case SimConnection::Status::Packet:
          break;
        case SimConnection::Status::Stopped:
          return {ReadStatus::Stopped, 0};
        default:
          return {ReadStatus::Gone, 0};
      }
      const size_t length = filter_.Deliver({packet_, n}, buf);
      if (length > 0) return {ReadStatus::Data, length};
      // Another collection's report.
    }
  }

  TryResult TryWrite(std::span<const uint8_t> report) override {
    return connection_->TrySend(report);
  }

  bool Write(std::span<const uint8_t> report, const Event& stop) override {
    return connection_->Send(report, &stop);
  }

 private:
  std::unique_ptr<SimConnection> connection_;
  TlcReportFilter filter_;
  uint8_t packet_[kSimMaxPacket];
};

// Watches the folder: a node that appears is a device plugged in, one that
// goes (or is replaced) a device unplugged; one notice per collection.
class SimWatch final : public DeviceWatch {
 public:
  SimWatch(std::string folder, std::unique_ptr<SimFolderWatch> changes,
           HidBus::NoticeCallback callback)
      : folder_(std::move(folder)), changes_(std::move(changes)), callback_(std::move(callback)) {
    for (const SimNodeEntry& node : ListSimNodes(folder_)) {
      if (auto info = ProbeNode(node.path))
        known_[node.path] = {node.identity, info->descriptor.collections.size()};
    }
    thread_ = std::thread([this] {
      while (changes_->Wait(stop_))
        Rescan();
    });
  }

  ~SimWatch() override {
    stop_.Set();
    thread_.join();
  }

 private:
  struct Known {
    uint64_t identity = 0;
    size_t collections = 0;
  };

  void Rescan() {
    const std::vector<SimNodeEntry> nodes = ListSimNodes(folder_);
    for (auto it = known_.begin(); it != known_.end();) {
      const bool stays = std::any_of(nodes.begin(), nodes.end(), [&](const SimNodeEntry& n) {
        return n.path == it->first && n.identity == it->second.identity;
      });
      if (stays) {
        ++it;
        continue;
      }
      Notify(DeviceNotice::Kind::Removal, it->first, it->second.collections);
      it = known_.erase(it);
    }
    for (const SimNodeEntry& node : nodes) {
      if (!known_.count(node.path)) Arrived(node);
    }
  }

  void Arrived(const SimNodeEntry& node) {
    // A node made in place by another tool may not answer yet.
    std::optional<NodeInfo> info;
    for (int attempt = 0; attempt < 10 && !info && !stop_.IsSet(); ++attempt) {
      info = ProbeNode(node.path);
      if (!info) stop_.Wait(20ms);
    }
    if (!info) return;
    const size_t count = info->descriptor.collections.size();
    known_[node.path] = {node.identity, count};
    Notify(DeviceNotice::Kind::Arrival, node.path, count);
  }

  void Notify(DeviceNotice::Kind kind, const std::string& node, size_t collections) {
    for (size_t i = 0; i < collections; ++i)
      callback_({kind, CollectionPath(node, i)});
  }

  const std::string folder_;
  const std::unique_ptr<SimFolderWatch> changes_;
  const HidBus::NoticeCallback callback_;
  Event stop_;
  std::map<std::string, Known> known_;  // by node path
  std::thread thread_;
};

class SimBus final : public HidBus {
 public:
  explicit SimBus(std::string folder) : folder_(std::move(folder)) {}

  std::vector<HidCollection> Enumerate() override {
    std::vector<HidCollection> out;
    if (!PrepareSimFolder(folder_)) return out;
    for (const SimNodeEntry& node : ListSimNodes(folder_)) {
      const auto info = ProbeNode(node.path);
      if (!info) continue;
      for (size_t i = 0; i < info->descriptor.collections.size(); ++i) {
        const TopLevelCollection& tlc = info->descriptor.collections[i];
        HidCollection c;
        c.path = CollectionPath(node.path, i);
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
    std::unique_ptr<SimConnection> connection;
    const auto info = ProbeNode(node, &connection);
    if (!info || index >= info->descriptor.collections.size()) return nullptr;
    TlcReportFilter filter = TlcReportFilter::For(info->descriptor, index);
    // The device sends an open only the reports of its collection, none to a
    // write-only open.
    SimSubscription subscription;
    subscription.reads = access == Access::Read;
    subscription.allReports = !filter.usesReportIds;
    if (filter.usesReportIds) subscription.reportIds = filter.inputReportIds;
    if (!Greet(*connection, subscription)) return nullptr;
    return std::make_unique<SimChannel>(std::move(connection), std::move(filter));
  }

  std::unique_ptr<DeviceWatch> WatchDevices(NoticeCallback callback) override {
    if (!PrepareSimFolder(folder_)) return nullptr;
    auto changes = WatchSimFolder(folder_);
    if (!changes) return nullptr;
    return std::make_unique<SimWatch>(folder_, std::move(changes), std::move(callback));
  }

  bool Owns(const std::string& path) const override {
    const std::string prefix = SimNodePath(folder_, "");
    return path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0;
  }

  LockStatus TryLockController(const std::string& path, std::unique_ptr<ControllerLock>& lock,
                               LockHolder& holder) override {
    std::string node;
    size_t index = 0;
    if (!Owns(path) || !SplitCollectionPath(path, node, index) || !PrepareSimFolder(folder_)) {
      errno = ENOENT;
      return LockStatus::Failed;
    }
    // A node cannot be locked for every program: a file beside it, hidden from
    // the device list, stands for the controller.
    const std::string name = node.substr(folder_.size() + 1);
    return LockSimFile(SimNodePath(folder_, "." + name + ".lock"), lock, holder);
  }

 private:
  const std::string folder_;
};

}  // namespace

std::unique_ptr<HidBus> MakeSimBus(const std::string& folder) {
  std::string clean = folder;
  while (clean.size() > 1 && (clean.back() == '/' || clean.back() == kSimPathSeparator))
    clean.pop_back();
  return std::make_unique<SimBus>(clean);
}

bool PrepareSimFolder(const std::string& folder, std::string* why) {
  const std::string fault = folder.empty() ? "no folder given" : SimFolderFault(folder);
  if (fault.empty()) return true;
  if (why) {
    *why = "the simulator folder " + folder + " cannot be used: " + fault +
           "; choose another with --dir or ORVELLE_SIM_DIR";
  }
  return false;
}

std::string SimNodePath(const std::string& folder, const std::string& name) {
  return folder + kSimPathSeparator + name;
}

}  // namespace orvelle
