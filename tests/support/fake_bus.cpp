#include "tests/support/fake_bus.h"

#include <algorithm>
#include <deque>
#include <set>

#include "devlink/hid/event.h"
#include "devlink/link_profile.h"

namespace orvelle::testing {

struct FakeChannelState {
  std::mutex mutex;
  std::deque<FakeBus::Report> reads;
  Event dataReady;
  bool gone = false;
};

struct FakeBus::Shared {
  mutable std::mutex mutex;
  mutable std::condition_variable writesChanged;
  std::vector<HidCollection> collections;
  std::map<std::string, std::vector<std::weak_ptr<FakeChannelState>>> readOpens;
  std::map<std::string, std::vector<Report>> writes;
  std::set<std::string> unplugged;
  std::set<std::string> refused;
  size_t writeCount = 0;
  bool directWrites = false;
  int openCount = 0;
  Responder responder;
  std::vector<NoticeCallback*> watchers;
};

namespace {

class FakeChannel final : public HidChannel {
public:
  FakeChannel(FakeBus& bus, std::shared_ptr<FakeBus::Shared> shared, std::string path,
              std::shared_ptr<FakeChannelState> state)
      : bus_(bus), shared_(std::move(shared)), path_(std::move(path)), state_(std::move(state)) {}

  ReadResult Read(std::span<uint8_t> buf, const Event& stop) override {
    for (;;) {
      WaitForAny({&state_->dataReady, &stop});
      if (stop.IsSet()) return {ReadStatus::Stopped, 0};
      std::lock_guard lock(state_->mutex);
      if (state_->gone) return {ReadStatus::Gone, 0};
      if (state_->reads.empty()) {
        state_->dataReady.Reset();
        continue;
      }
      FakeBus::Report r = std::move(state_->reads.front());
      state_->reads.pop_front();
      if (state_->reads.empty()) state_->dataReady.Reset();
      const size_t n = std::min(r.size(), buf.size());
      std::copy_n(r.begin(), n, buf.begin());
      return {ReadStatus::Data, n};
    }
  }

  bool Write(std::span<const uint8_t> report, const Event&) override {
    FakeBus::Responder responder;
    FakeBus::Report copy(report.begin(), report.end());
    {
      std::lock_guard lock(shared_->mutex);
      if (shared_->unplugged.count(path_)) return false;
      shared_->writes[path_].push_back(copy);
      ++shared_->writeCount;
      responder = shared_->responder;
    }
    shared_->writesChanged.notify_all();
    if (responder) responder(bus_, path_, copy);
    return true;
  }

  TryResult TryWrite(std::span<const uint8_t> report) override {
    {
      std::lock_guard lock(shared_->mutex);
      if (!shared_->directWrites) return TryResult::WouldBlock;
    }
    const Event never;
    return Write(report, never) ? TryResult::Written : TryResult::Failed;
  }

private:
  FakeBus& bus_;
  std::shared_ptr<FakeBus::Shared> shared_;
  std::string path_;
  std::shared_ptr<FakeChannelState> state_;
};

class FakeWatch final : public DeviceWatch {
public:
  FakeWatch(std::shared_ptr<FakeBus::Shared> shared, HidBus::NoticeCallback callback)
      : shared_(std::move(shared)), callback_(std::move(callback)) {
    std::lock_guard lock(shared_->mutex);
    shared_->watchers.push_back(&callback_);
  }
  ~FakeWatch() override {
    std::lock_guard lock(shared_->mutex);
    std::erase(shared_->watchers, &callback_);
  }

private:
  std::shared_ptr<FakeBus::Shared> shared_;
  HidBus::NoticeCallback callback_;
};

}  // namespace

FakeBus::FakeBus() : shared_(std::make_shared<Shared>()) {}
FakeBus::~FakeBus() = default;

void FakeBus::AddCollection(HidCollection collection) {
  std::lock_guard lock(shared_->mutex);
  shared_->unplugged.erase(collection.path);
  shared_->collections.push_back(std::move(collection));
}

void FakeBus::AllowDirectWrites(bool allow) {
  std::lock_guard lock(shared_->mutex);
  shared_->directWrites = allow;
}

void FakeBus::SetResponder(Responder responder) {
  std::lock_guard lock(shared_->mutex);
  shared_->responder = std::move(responder);
}

void FakeBus::PushRead(const std::string& path, Report bytes) {
  std::lock_guard lock(shared_->mutex);
  for (auto& weak : shared_->readOpens[path]) {
    if (auto state = weak.lock()) {
      std::lock_guard stateLock(state->mutex);
      state->reads.push_back(bytes);
      state->dataReady.Set();
    }
  }
}

void FakeBus::Unplug(const std::string& path) {
  std::lock_guard lock(shared_->mutex);
  shared_->unplugged.insert(path);
  std::erase_if(shared_->collections, [&](const HidCollection& c) { return c.path == path; });
  for (auto& weak : shared_->readOpens[path]) {
    if (auto state = weak.lock()) {
      std::lock_guard stateLock(state->mutex);
      state->gone = true;
      state->dataReady.Set();
    }
  }
}

void FakeBus::RefuseOpens(const std::string& path) {
  std::lock_guard lock(shared_->mutex);
  shared_->refused.insert(path);
}

void FakeBus::Notify(const DeviceNotice& notice) {
  std::vector<NoticeCallback*> watchers;
  {
    std::lock_guard lock(shared_->mutex);
    watchers = shared_->watchers;
  }
  for (NoticeCallback* w : watchers) (*w)(notice);
}

std::vector<FakeBus::Report> FakeBus::Writes(const std::string& path) const {
  std::lock_guard lock(shared_->mutex);
  auto it = shared_->writes.find(path);
  return it == shared_->writes.end() ? std::vector<Report>{} : it->second;
}

size_t FakeBus::WriteCount() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->writeCount;
}

bool FakeBus::WaitForWrites(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(shared_->mutex);
  return shared_->writesChanged.wait_for(lock, timeout,
                                         [&] { return shared_->writeCount >= count; });
}

int FakeBus::OpenCount() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->openCount;
}

std::vector<HidCollection> FakeBus::Enumerate() {
  std::lock_guard lock(shared_->mutex);
  return shared_->collections;
}

std::unique_ptr<HidChannel> FakeBus::Open(const std::string& path, Access access) {
  std::lock_guard lock(shared_->mutex);
  if (shared_->unplugged.count(path) || shared_->refused.count(path)) return nullptr;
  ++shared_->openCount;
  auto state = std::make_shared<FakeChannelState>();
  if (access == Access::Read) shared_->readOpens[path].push_back(state);
  return std::make_unique<FakeChannel>(*this, shared_, path, state);
}

std::unique_ptr<DeviceWatch> FakeBus::WatchDevices(NoticeCallback callback) {
  return std::make_unique<FakeWatch>(shared_, std::move(callback));
}

bool FakeBus::Owns(const std::string&) const { return true; }

namespace {

void Item(std::vector<uint8_t>& d, uint8_t prefix, uint32_t value, int size) {
  const uint8_t sizeCode = size == 0 ? 0 : size == 1 ? 1 : size == 2 ? 2 : 3;
  d.push_back(static_cast<uint8_t>(prefix | sizeCode));
  for (int i = 0; i < size; ++i) d.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> BuildVendorDescriptor(const std::vector<TestCollection>& collections) {
  std::vector<uint8_t> d;
  uint8_t usage = 1;
  for (const TestCollection& c : collections) {
    Item(d, 0x04, 0xFF00, 2);  // Usage Page (vendor)
    Item(d, 0x08, usage++, 1);  // Usage
    Item(d, 0xA0, 0x01, 1);     // Collection (Application)
    Item(d, 0x84, c.reportId, 1);  // Report ID
    Item(d, 0x74, 8, 1);           // Report Size 8
    Item(d, 0x14, 0, 1);           // Logical Minimum 0
    Item(d, 0x24, 0xFF, 2);        // Logical Maximum 255
    if (c.inputLength > 1) {
      Item(d, 0x94, c.inputLength - 1u, 2);  // Report Count
      Item(d, 0x08, 1, 1);
      Item(d, 0x80, 0x02, 1);  // Input (Data, Var, Abs)
    }
    if (c.outputLength > 1) {
      Item(d, 0x94, c.outputLength - 1u, 2);
      Item(d, 0x08, 2, 1);
      Item(d, 0x90, 0x02, 1);  // Output (Data, Var, Abs)
    }
    d.push_back(0xC0);  // End Collection
  }
  return d;
}

std::vector<uint8_t> ControllerLikeDescriptor(uint16_t channel3OutputLength) {
  return BuildVendorDescriptor(
      {{1, 62, 0}, {2, 9, 2}, {3, 6, 0}, {4, 64, channel3OutputLength}, {6, 48, 48}, {7, 64, 64}});
}

std::string ControllerPath(int channel) {
  return "/dev/hidraw0#col0" + std::to_string(channel + 1);
}

void AddController(FakeBus& bus, uint16_t ch3Output, uint16_t vid, uint16_t pid) {
  const ChannelTable table = MakeChannelTable(ch3Output);
  for (int i = 0; i < kChannelCount; ++i) {
    bus.AddCollection(
        {ControllerPath(i), vid, pid, CapsState::Ok, table[i].inputLength, table[i].outputLength});
  }
}

}  // namespace orvelle::testing
