#include "tests/support/hidraw_like_bus.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "devlink/hid/event.h"
#include "devlink/hid/hidraw_sysfs.h"
#include "devlink/hid/tlc_reports.h"

namespace orvelle::testing {

// One open descriptor: the reports of its node it still has to read (with the
// collection each belongs to), and whether its node hung up.
struct Descriptor {
  int node = 0;
  size_t index = 0;
  Access access = Access::Read;
  std::deque<std::pair<size_t, HidrawLikeBus::Report>> reads;
  bool hungUp = false;
  Event readable;  // a report is queued or the node hung up
};

struct HidrawLikeBus::State {
  mutable std::mutex mutex;
  // Held while notices are delivered: a watch ends only between deliveries.
  std::mutex delivering;
  std::string port;
  ChannelTable table;
  int node = 0;  // current node number; -1 while unplugged
  int nextNode = 0;
  std::vector<std::weak_ptr<Descriptor>> opens;
  int openDescriptors = 0;
  Responder responder;
  std::chrono::milliseconds writeTime{0};
  int writeFailures = 0;
  size_t writesStarted = 0;
  size_t readWakeUps = 0;
  int refuseWith = 0;
  std::vector<NoticeCallback*> watchers;

  std::string Path(int nodeNumber, size_t index) const {
    return CollectionPath(
        HidrawNodeId({"/sys", "/dev"}, port, "hidraw" + std::to_string(nodeNumber)), index);
  }
};

namespace {

class LikeChannel final : public HidChannel {
 public:
  LikeChannel(HidrawLikeBus& bus, std::shared_ptr<HidrawLikeBus::State> state,
              std::shared_ptr<Descriptor> d)
      : bus_(bus), state_(std::move(state)), d_(std::move(d)), members_{d_->index} {}
  ~LikeChannel() override {
    std::lock_guard lock(state_->mutex);
    --state_->openDescriptors;
  }

  int Node() const { return d_->node; }
  void ServeAlso(const LikeChannel& other) {
    members_.insert(members_.end(), other.members_.begin(), other.members_.end());
  }

  // Every report of the node wakes the reader; one of another collection is
  // then dropped, as the report ID filter does.
  ReadResult Read(std::span<uint8_t> buf, const Event& stop) override {
    for (;;) {
      WaitForAny({&d_->readable, &stop});
      if (stop.IsSet()) return {ReadStatus::Stopped, 0};
      std::lock_guard lock(state_->mutex);
      if (!d_->reads.empty()) {
        auto [index, r] = std::move(d_->reads.front());
        d_->reads.pop_front();
        if (d_->reads.empty() && !d_->hungUp) d_->readable.Reset();
        ++state_->readWakeUps;
        const auto member = std::find(members_.begin(), members_.end(), index);
        if (member == members_.end()) continue;
        const size_t n = std::min(r.size(), buf.size());
        std::copy_n(r.begin(), n, buf.begin());
        return {ReadStatus::Data, n, static_cast<size_t>(member - members_.begin())};
      }
      if (d_->hungUp) return {ReadStatus::Gone, 0};  // POLLHUP
      d_->readable.Reset();
    }
  }

  // Poll says writable at once, so the stop event cannot interrupt a write:
  // the transfer runs to its end.
  bool Write(std::span<const uint8_t> report, const Event&) override {
    std::chrono::milliseconds time;
    bool fails = false;
    {
      std::lock_guard lock(state_->mutex);
      if (d_->hungUp) {
        errno = ENODEV;
        return false;
      }
      ++state_->writesStarted;
      time = state_->writeTime;
      if (state_->writeFailures > 0) {
        --state_->writeFailures;
        fails = true;
      }
    }
    std::this_thread::sleep_for(time);
    if (fails) {
      errno = ETIMEDOUT;
      return false;
    }
    HidrawLikeBus::Responder responder;
    {
      std::lock_guard lock(state_->mutex);
      if (d_->hungUp) {
        errno = ENODEV;
        return false;
      }
      responder = state_->responder;
    }
    if (responder) responder(bus_, d_->index, {report.begin(), report.end()});
    return true;
  }

 private:
  HidrawLikeBus& bus_;
  std::shared_ptr<HidrawLikeBus::State> state_;
  std::shared_ptr<Descriptor> d_;
  std::vector<size_t> members_;  // collections read through this descriptor
};

class LikeWatch final : public DeviceWatch {
 public:
  LikeWatch(std::shared_ptr<HidrawLikeBus::State> state, HidBus::NoticeCallback callback)
      : state_(std::move(state)), callback_(std::move(callback)) {
    std::lock_guard lock(state_->mutex);
    state_->watchers.push_back(&callback_);
  }
  ~LikeWatch() override {
    std::lock_guard delivering(state_->delivering);
    std::lock_guard lock(state_->mutex);
    std::erase(state_->watchers, &callback_);
  }

 private:
  std::shared_ptr<HidrawLikeBus::State> state_;
  HidBus::NoticeCallback callback_;
};

}  // namespace

HidrawLikeBus::HidrawLikeBus(std::string port, uint16_t ch3Output)
    : state_(std::make_shared<State>()) {
  state_->port = std::move(port);
  state_->table = MakeChannelTable(ch3Output);
  state_->node = state_->nextNode++;
}

HidrawLikeBus::~HidrawLikeBus() = default;

void HidrawLikeBus::SetResponder(Responder responder) {
  std::lock_guard lock(state_->mutex);
  state_->responder = std::move(responder);
}

void HidrawLikeBus::SetWriteTime(std::chrono::milliseconds time, int failures) {
  std::lock_guard lock(state_->mutex);
  state_->writeTime = time;
  state_->writeFailures = failures;
}

void HidrawLikeBus::RefuseOpens(int error) {
  std::lock_guard lock(state_->mutex);
  state_->refuseWith = error;
}

void HidrawLikeBus::PushInput(size_t index, Report report) {
  std::lock_guard lock(state_->mutex);
  for (auto& weak : state_->opens) {
    auto d = weak.lock();
    if (!d || d->node != state_->node || d->access != Access::Read) continue;
    d->reads.emplace_back(index, report);
    d->readable.Set();
  }
}

void HidrawLikeBus::Unplug() {
  {
    std::lock_guard lock(state_->mutex);
    for (auto& weak : state_->opens) {
      if (auto d = weak.lock(); d && d->node == state_->node) {
        d->hungUp = true;
        d->readable.Set();
      }
    }
  }
  Notify(DeviceNotice::Kind::Removal);
  std::lock_guard lock(state_->mutex);
  state_->node = -1;
}

void HidrawLikeBus::Replug() {
  {
    std::lock_guard lock(state_->mutex);
    state_->node = state_->nextNode++;
  }
  Notify(DeviceNotice::Kind::Arrival);
}

void HidrawLikeBus::Notify(DeviceNotice::Kind kind) {
  std::lock_guard delivering(state_->delivering);
  std::vector<NoticeCallback*> watchers;
  std::vector<std::string> paths;
  {
    std::lock_guard lock(state_->mutex);
    watchers = state_->watchers;
    for (size_t i = 0; i < kChannelCount; ++i)
      paths.push_back(state_->Path(state_->node, i));
  }
  for (const std::string& path : paths) {
    for (NoticeCallback* w : watchers)
      (*w)({kind, path});
  }
}

std::string HidrawLikeBus::PathOf(size_t index) const {
  std::lock_guard lock(state_->mutex);
  return state_->Path(state_->node, index);
}

std::string HidrawLikeBus::NodeName() const {
  std::lock_guard lock(state_->mutex);
  return "hidraw" + std::to_string(state_->node);
}

int HidrawLikeBus::OpenDescriptors() const {
  std::lock_guard lock(state_->mutex);
  return state_->openDescriptors;
}

size_t HidrawLikeBus::WritesStarted() const {
  std::lock_guard lock(state_->mutex);
  return state_->writesStarted;
}

size_t HidrawLikeBus::ReadWakeUps() const {
  std::lock_guard lock(state_->mutex);
  return state_->readWakeUps;
}

std::vector<HidCollection> HidrawLikeBus::Enumerate() {
  std::lock_guard lock(state_->mutex);
  std::vector<HidCollection> all;
  if (state_->node < 0) return all;
  for (size_t i = 0; i < kChannelCount; ++i) {
    all.push_back({state_->Path(state_->node, i), 0x2A5C, 19, CapsState::Ok,
                   state_->table[i].inputLength, state_->table[i].outputLength});
  }
  return all;
}

std::unique_ptr<HidChannel> HidrawLikeBus::Open(const std::string& path, Access access) {
  std::lock_guard lock(state_->mutex);
  std::erase_if(state_->opens, [](const auto& weak) { return weak.expired(); });
  for (size_t i = 0; state_->node >= 0 && i < kChannelCount; ++i) {
    if (path != state_->Path(state_->node, i)) continue;
    if (state_->refuseWith != 0) {
      errno = state_->refuseWith;
      return nullptr;
    }
    auto d = std::make_shared<Descriptor>();
    d->node = state_->node;
    d->index = i;
    d->access = access;
    state_->opens.push_back(d);
    ++state_->openDescriptors;
    return std::make_unique<LikeChannel>(*this, state_, std::move(d));
  }
  errno = ENOENT;
  return nullptr;
}

std::unique_ptr<DeviceWatch> HidrawLikeBus::WatchDevices(NoticeCallback callback) {
  return std::make_unique<LikeWatch>(state_, std::move(callback));
}

bool HidrawLikeBus::Owns(const std::string&) const {
  return true;
}

std::vector<HidBus::SharedReader> HidrawLikeBus::ShareReads(std::vector<ReadOpen> opens) {
  if (!shareReads_) return HidBus::ShareReads(std::move(opens));
  std::vector<SharedReader> shared;
  for (size_t i = 0; i < opens.size(); ++i) {
    auto* channel = static_cast<LikeChannel*>(opens[i].channel.get());
    if (channel == nullptr) continue;
    auto same = std::find_if(shared.begin(), shared.end(), [&](const SharedReader& s) {
      return static_cast<LikeChannel&>(*s.channel).Node() == channel->Node();
    });
    if (same == shared.end()) {
      shared.push_back({std::move(opens[i].channel), {i}});
      continue;
    }
    static_cast<LikeChannel&>(*same->channel).ServeAlso(*channel);
    same->members.push_back(i);
  }
  return shared;
}

}  // namespace orvelle::testing
