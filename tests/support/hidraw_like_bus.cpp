#include "tests/support/hidraw_like_bus.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "devlink/hid/event.h"
#include "devlink/hid/tlc_reports.h"
#include "devlink/link_profile.h"

namespace orvelle::testing {

// The port-based id the hidraw bus gives the controller, whatever its node.
constexpr char kControllerNode[] = "/dev/hidraw@usb-0000:00:14.0-1/input0";

// hidraw keeps a ring of 64 reports per open, one slot always free; when it
// is full the new report is dropped without a word.
constexpr size_t kUnreadReportsKept = 63;

// One open descriptor: the reports of its node it has yet to read.
struct Descriptor {
  int node = 0;  // the controller's node number; other devices' are negative
  size_t index = 0;
  Access access = Access::Read;
  std::deque<std::pair<size_t, HidrawLikeBus::Report>> reads;
  bool hungUp = false;
  Event readable;  // a report is queued or the node hung up
};

struct HidrawLikeBus::State {
  mutable std::mutex mutex;
  mutable std::condition_variable wrote;
  // Held while notices are delivered: a watch ends only between deliveries.
  std::mutex delivering;
  ChannelTable table;
  int node = 0;  // the controller's current node number; -1 while unplugged
  int nextNode = 1;
  std::vector<HidCollection> others;
  std::vector<std::weak_ptr<Descriptor>> opens;  // each owned by its channel
  Responder responder;
  std::chrono::milliseconds writeTime{0};
  std::atomic<bool> writesHeld{false};
  int writeFailures = 0;
  bool directWrites = false;
  size_t writesStarted = 0;
  std::vector<std::pair<size_t, Report>> writes;
  size_t readWakeUps = 0;
  int refuseWith = 0;
  std::vector<NoticeCallback*> watchers;
};

namespace {

class LikeChannel final : public HidChannel {
 public:
  LikeChannel(HidrawLikeBus& bus, std::shared_ptr<HidrawLikeBus::State> state,
              std::shared_ptr<Descriptor> d)
      : bus_(bus), state_(std::move(state)), d_(std::move(d)), members_{d_->index} {}

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
  // A held write ends when the test releases it or, standing for a transfer
  // that completes meanwhile, when the link stops.
  bool Write(std::span<const uint8_t> report, const Event& stop) override {
    std::unique_lock lock(state_->mutex);
    bool timedOut = false;
    if (!d_->hungUp) {
      ++state_->writesStarted;
      const auto time = state_->writeTime;
      timedOut = state_->writeFailures > 0;
      state_->writeFailures -= timedOut;
      lock.unlock();
      std::this_thread::sleep_for(time);
      while (state_->writesHeld.load() && !stop.Wait(std::chrono::milliseconds(1))) {
      }
      lock.lock();
    }
    if (d_->hungUp || timedOut) {
      errno = d_->hungUp ? ENODEV : ETIMEDOUT;
      return false;
    }
    state_->writes.emplace_back(d_->index, HidrawLikeBus::Report(report.begin(), report.end()));
    state_->wrote.notify_all();
    const HidrawLikeBus::Responder responder = state_->responder;
    lock.unlock();
    if (responder) responder(bus_, d_->index, {report.begin(), report.end()});
    return true;
  }

  TryResult TryWrite(std::span<const uint8_t> report) override {
    {
      std::lock_guard lock(state_->mutex);
      if (!state_->directWrites) return TryResult::WouldBlock;
    }
    return Write(report, Event()) ? TryResult::Written : TryResult::Failed;
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

HidrawLikeBus::HidrawLikeBus(uint16_t ch3Output) : state_(std::make_shared<State>()) {
  state_->table = MakeChannelTable(ch3Output);
}

HidrawLikeBus::~HidrawLikeBus() = default;

void HidrawLikeBus::AddCollection(HidCollection collection) {
  std::lock_guard lock(state_->mutex);
  state_->others.push_back(std::move(collection));
}

void HidrawLikeBus::SetResponder(Responder responder) {
  std::lock_guard lock(state_->mutex);
  state_->responder = std::move(responder);
}

void HidrawLikeBus::SetWriteTime(std::chrono::milliseconds time, int failures) {
  std::lock_guard lock(state_->mutex);
  state_->writeTime = time;
  state_->writeFailures = failures;
}

void HidrawLikeBus::HoldWrites(bool hold) {
  state_->writesHeld.store(hold);
}

void HidrawLikeBus::RefuseOpens(int error) {
  std::lock_guard lock(state_->mutex);
  state_->refuseWith = error;
}

void HidrawLikeBus::AllowDirectWrites(bool allow) {
  std::lock_guard lock(state_->mutex);
  state_->directWrites = allow;
}

void HidrawLikeBus::PushInput(size_t index, Report bytes) {
  std::lock_guard lock(state_->mutex);
  for (auto& weak : state_->opens) {
    auto d = weak.lock();
    if (!d || d->node != state_->node || d->access != Access::Read) continue;
    if (d->reads.size() >= kUnreadReportsKept) continue;
    d->reads.emplace_back(index, bytes);
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
    // Gone before anyone hears of it, so a replug racing the notices wins.
    state_->node = -1;
  }
  Notify(DeviceNotice::Kind::Removal);
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
  {
    std::lock_guard lock(state_->mutex);
    watchers = state_->watchers;
  }
  for (size_t i = 0; i < kChannelCount; ++i)
    for (NoticeCallback* w : watchers)
      (*w)({kind, PathOf(i)});
}

std::string HidrawLikeBus::PathOf(size_t index) const {
  return CollectionPath(kControllerNode, index);
}

int HidrawLikeBus::OpenDescriptors() const {
  std::lock_guard lock(state_->mutex);
  return static_cast<int>(std::count_if(state_->opens.begin(), state_->opens.end(),
                                        [](const auto& weak) { return !weak.expired(); }));
}

size_t HidrawLikeBus::WritesStarted() const {
  std::lock_guard lock(state_->mutex);
  return state_->writesStarted;
}

std::vector<HidrawLikeBus::Report> HidrawLikeBus::Writes(size_t index) const {
  std::lock_guard lock(state_->mutex);
  std::vector<Report> writes;
  for (const auto& [written, report] : state_->writes)
    if (written == index) writes.push_back(report);
  return writes;
}

bool HidrawLikeBus::WaitForWrites(size_t count) const {
  std::unique_lock lock(state_->mutex);
  return state_->wrote.wait_for(lock, std::chrono::seconds(10),
                                [&] { return state_->writes.size() >= count; });
}

size_t HidrawLikeBus::ReadWakeUps() const {
  std::lock_guard lock(state_->mutex);
  return state_->readWakeUps;
}

std::vector<HidCollection> HidrawLikeBus::Enumerate() {
  std::lock_guard lock(state_->mutex);
  std::vector<HidCollection> all;
  for (size_t i = 0; state_->node >= 0 && i < kChannelCount; ++i) {
    all.push_back({PathOf(i), 0x2A5C, 19, CapsState::Ok, state_->table[i].inputLength,
                   state_->table[i].outputLength});
  }
  all.insert(all.end(), state_->others.begin(), state_->others.end());
  return all;
}

std::unique_ptr<HidChannel> HidrawLikeBus::Open(const std::string& path, Access access) {
  std::lock_guard lock(state_->mutex);
  std::erase_if(state_->opens, [](const auto& weak) { return weak.expired(); });
  auto d = std::make_shared<Descriptor>();
  d->access = access;
  d->node = state_->node;
  while (d->index < kChannelCount && path != PathOf(d->index))
    ++d->index;
  if (d->node < 0 || d->index == kChannelCount) {
    const auto other = std::find_if(state_->others.begin(), state_->others.end(),
                                    [&](const HidCollection& c) { return c.path == path; });
    if (other == state_->others.end()) {
      errno = ENOENT;
      return nullptr;
    }
    d->node = -2 - static_cast<int>(other - state_->others.begin());
    d->index = 0;
  }
  if (state_->refuseWith != 0) {
    errno = state_->refuseWith;
    return nullptr;
  }
  state_->opens.push_back(d);
  return std::make_unique<LikeChannel>(*this, state_, std::move(d));
}

std::unique_ptr<DeviceWatch> HidrawLikeBus::WatchDevices(NoticeCallback callback) {
  return std::make_unique<LikeWatch>(state_, std::move(callback));
}

bool HidrawLikeBus::Owns(const std::string&) const {
  return true;
}

std::vector<HidBus::SharedReader> HidrawLikeBus::ShareReads(std::vector<ReadOpen> opens) {
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

std::vector<uint8_t> BuildVendorDescriptor(const std::vector<TestCollection>& collections) {
  std::vector<uint8_t> d;
  uint8_t usage = 1;
  for (const TestCollection& c : collections) {
    // Usage Page FF00, Usage, Collection (Application), Report ID, Report
    // Size 8, Logical Minimum 0, Logical Maximum 255.
    d.insert(d.end(), {0x06, 0x00, 0xFF, 0x09, usage++, 0xA1, 0x01, 0x85, c.reportId, 0x75, 0x08,
                       0x15, 0x00, 0x26, 0xFF, 0x00});
    // Report Count, Usage, then Input or Output (Data, Var, Abs).
    const std::pair<uint16_t, uint8_t> reports[] = {{c.inputLength, 0x81}, {c.outputLength, 0x91}};
    for (const auto& [length, main] : reports) {
      if (length < 2) continue;
      const auto count = static_cast<uint16_t>(length - 1);
      d.insert(d.end(), {0x96, static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8), 0x09,
                         static_cast<uint8_t>(main == 0x81 ? 1 : 2), main, 0x02});
    }
    d.push_back(0xC0);  // End Collection
  }
  return d;
}

std::vector<uint8_t> ControllerLikeDescriptor(uint16_t channel3OutputLength) {
  return BuildVendorDescriptor(
      {{1, 62, 0}, {2, 9, 2}, {3, 6, 0}, {4, 64, channel3OutputLength}, {6, 48, 48}, {7, 64, 64}});
}

}  // namespace orvelle::testing
