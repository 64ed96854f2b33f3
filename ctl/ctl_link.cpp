#include "ctl/ctl_link.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "devlink/controller_order.h"
#include "devlink/hid/tlc_reports.h"

namespace orvelle::ctl {
namespace {

using namespace std::chrono_literals;

std::string NodeOf(const std::string& collectionPath) {
  std::string node;
  size_t index = 0;
  return SplitCollectionPath(collectionPath, node, index) ? node : collectionPath;
}

class OneControllerBus : public HidBus {
 public:
  OneControllerBus(std::shared_ptr<HidBus> bus, std::string node)
      : bus_(std::move(bus)), node_(std::move(node)) {}

  std::vector<HidCollection> Enumerate() override {
    std::vector<HidCollection> all = bus_->Enumerate();
    std::erase_if(all, [&](const HidCollection& c) { return NodeOf(c.path) != node_; });
    return all;
  }
  std::unique_ptr<HidChannel> Open(const std::string& path, Access access) override {
    if (NodeOf(path) != node_) {
      errno = ENOENT;
      return nullptr;
    }
    return bus_->Open(path, access);
  }
  std::unique_ptr<DeviceWatch> WatchDevices(NoticeCallback callback) override {
    return bus_->WatchDevices([node = node_, callback](const DeviceNotice& notice) {
      if (NodeOf(notice.path) == node) callback(notice);
    });
  }
  bool Owns(const std::string& path) const override {
    return NodeOf(path) == node_ && bus_->Owns(path);
  }
  LockStatus TryLockController(const std::string& path, std::unique_ptr<ControllerLock>& lock,
                               LockHolder& holder) override {
    return bus_->TryLockController(path, lock, holder);
  }
  std::vector<SharedReader> ShareReads(std::vector<ReadOpen> opens) override {
    return bus_->ShareReads(std::move(opens));
  }

 private:
  std::shared_ptr<HidBus> bus_;
  std::string node_;
};

}  // namespace

LinkProfile CtlProfile() {
  LinkProfile p = LinkProfile::Console();
  p.program = "orvellectl";
  p.startPause = 0ms;
  p.deviceChanges = DeviceChangeHandling::RegisterOnly;
  return p;
}

std::vector<FoundController> FindControllers(HidBus& bus, const LinkProfile& profile) {
  std::vector<HidCollection> collections = bus.Enumerate();
  SortForDiscovery(collections);
  std::vector<FoundController> found;
  for (const HidCollection& c : collections) {
    if (!profile.Accepts(c.vendorId, c.productId)) continue;
    const std::string node = NodeOf(c.path);
    auto it = std::find_if(found.begin(), found.end(),
                           [&](const FoundController& f) { return f.path == node; });
    if (it == found.end()) {
      found.push_back({node, c.vendorId, c.productId, c.simulated, {}});
      it = found.end() - 1;
    }
    it->collections.push_back(c.path);
  }
  // Discovery's order puts the controller to use last.
  std::reverse(found.begin(), found.end());
  return found;
}

std::shared_ptr<HidBus> OnlyController(std::shared_ptr<HidBus> bus, const std::string& node) {
  return std::make_shared<OneControllerBus>(std::move(bus), node);
}

Session::Session(LinkProfile profile, std::shared_ptr<HidBus> bus)
    : link_(std::move(profile), std::move(bus)) {
  link_.SetOwner(this);
  link_.SetDispatcher(this);
}

Session::~Session() {
  link_.StopThreads();
  link_.SetDispatcher(nullptr);
  link_.SetOwner(nullptr);
}

bool Session::Open(std::string& error) {
  if (link_.Open() && link_.IsConnected() != 0) return true;
  const int openError = link_.LastOpenError();
  if (openError == EACCES || openError == EPERM) {
    error =
        "the controller is present but this user may not open it; install the udev rule "
        "(see the README) or join the group it names";
  } else if (openError != 0) {
    error =
        std::string("the controller is present but cannot be opened: ") + std::strerror(openError);
  } else {
    error = "no controller found";
  }
  return false;
}

SendOutcome Session::Send(int channel, const FrameBuffer& frame) {
  return link_.ExchangeFrame(channel, frame);
}

void Session::OnAnswer(std::span<const uint8_t> frame) {
  if (handler_) handler_(frame);
}

}  // namespace orvelle::ctl
