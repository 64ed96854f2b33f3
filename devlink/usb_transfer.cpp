#include "devlink/usb_transfer.h"

#include "devlink/controller_order.h"

#if __has_include(<pthread.h>)
#include <pthread.h>
#endif

#include <algorithm>
#include <cerrno>
#include <functional>
#include <new>
#include <string>

namespace orvelle {
namespace {

// Names show in debuggers and in /proc, e.g. "orv-read-4". Where there are
// no POSIX threads (MSVC), the threads stay unnamed.
void NameThisThread(const char* role, int channel) {
#if __has_include(<pthread.h>)
  const std::string name = std::string("orv-") + role + "-" + std::to_string(channel);
  pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
#else
  (void)role;
  (void)channel;
#endif
}

}  // namespace

CUSBTransfer::CUSBTransfer(LinkProfile profile, std::shared_ptr<HidBus> bus)
    : profile_(std::move(profile)), bus_(std::move(bus)) {}

CUSBTransfer::~CUSBTransfer() {
  stop_.Set();
  JoinThreads();
  answers_.Clear();
}

void CUSBTransfer::SetOwner(AnswerSink* owner) {
  owner_.store(owner);
}

void CUSBTransfer::TakeUnasked(std::function<bool(std::span<const uint8_t>)> wanted) {
  std::lock_guard lock(unaskedMutex_);
  unasked_ = std::move(wanted);
}

bool CUSBTransfer::TakenUnasked(std::span<const uint8_t> frame) {
  std::lock_guard lock(unaskedMutex_);
  return unasked_ && unasked_(frame);
}

void CUSBTransfer::SetDispatcher(AnswerDispatcher* dispatcher) {
  std::lock_guard lock(dispatcherMutex_);
  dispatcher_.store(dispatcher);
}

void CUSBTransfer::SetOutOfMemoryHandler(std::function<void()> handler) {
  outOfMemory_ = std::move(handler);
}

int CUSBTransfer::QueryReportLengths(const HidCollection& collection, uint16_t& inputLength,
                                     uint16_t& outputLength) {
  if (collection.caps == CapsState::NoPreparsedData) return 0;
  if (collection.caps == CapsState::Ok) {
    inputLength = collection.inputLength;
    outputLength = collection.outputLength;
  }
  return 1;
}

int CUSBTransfer::OutputLength(int channel) const {
  if (channel < 0 || channel >= kChannelCount) return 0;
  return profile_.channels[channel].outputLength;
}

void CUSBTransfer::SetDevice(const std::string& controllerPath) {
  device_ = ControllerPathOf(controllerPath);
}

int CUSBTransfer::Discover() {
  connected_.store(false);
  acceptedCount_.store(0);
  lastOpenError_.store(0);
  std::vector<HidCollection> collections;
  try {
    collections = bus_->Enumerate();
  } catch (const std::bad_alloc&) {
    if (outOfMemory_) outOfMemory_();
    return 0;
  }
  SortForDiscovery(collections);
  int count = 0;
  for (const HidCollection& c : collections) {
    if (!profile_.Accepts(c.vendorId, c.productId)) continue;
    if (!device_.empty() && !SamePath(ControllerPathOf(c.path), device_)) continue;
    uint16_t inputLength = 0;
    uint16_t outputLength = 0;
    if (QueryReportLengths(c, inputLength, outputLength) == 0) continue;
    auto reader = bus_->Open(c.path, Access::Read);
    const int readError = reader ? 0 : errno;
    auto writer = bus_->Open(c.path, Access::Write);
    const int writeError = writer ? 0 : errno;
    if (!reader && !writer) {
      // Present but not ours to use (no udev rule, say): not connected.
      if (lastOpenError_.load() == 0) lastOpenError_.store(readError ? readError : writeError);
      continue;
    }
    connected_.store(true);
    const int channel = FindChannel(profile_.channels, inputLength, outputLength);
    if (channel >= 0) {
      // A later collection with the same lengths takes the slot over.
      Slot& slot = slots_[channel];
      slot.path = c.path;
      slot.reader = std::move(reader);
      slot.writer = std::move(writer);
      slot.deviceLeft.store(false);
      std::lock_guard lock(slot.writeMutex);
      slot.pendingWrites.clear();
      slot.writePending.Reset();
    }
    ++count;
  }
  acceptedCount_.store(count);
  return count;
}

bool CUSBTransfer::Open() {
  // Discovery replaces the channels that running threads use.
  if (HasThreads()) StopThreads();
  if (Discover() < 1) return false;
  StartThreads();
  if (profile_.connectAfterThreads) connected_.store(true);
  return true;
}

void CUSBTransfer::StartThreads() {
  StartReaders();
  for (int channel : profile_.threadChannels) {
    if (channel < 0 || channel >= kChannelCount) continue;
    Slot& slot = slots_[channel];
    slot.drainThread = std::thread(&CUSBTransfer::WriteDrainThread, this, channel);
    Pause(profile_.startPause);
  }
}

void CUSBTransfer::StartReaders() {
  std::vector<HidBus::ReadOpen> opens;
  std::vector<int> channels;
  for (int channel : profile_.threadChannels) {
    if (channel < 0 || channel >= kChannelCount || !slots_[channel].reader) continue;
    opens.push_back({slots_[channel].path, std::move(slots_[channel].reader)});
    channels.push_back(channel);
  }
  // The other read opens would only fill with reports nobody reads.
  for (Slot& slot : slots_)
    slot.reader.reset();
  for (HidBus::SharedReader& shared : bus_->ShareReads(std::move(opens))) {
    auto reader = std::make_unique<Reader>();
    reader->channel = std::move(shared.channel);
    for (size_t member : shared.members) {
      if (member < channels.size()) reader->channels.push_back(channels[member]);
    }
    readers_.push_back(std::move(reader));
  }
  for (auto& reader : readers_) {
    reader->thread = std::thread(&CUSBTransfer::ReaderThread, this, std::ref(*reader));
  }
}

bool CUSBTransfer::HasThreads() const {
  return !readers_.empty() || std::any_of(slots_.begin(), slots_.end(),
                                          [](const Slot& s) { return s.drainThread.joinable(); });
}

void CUSBTransfer::StopThreads() {
  stop_.Set();
  JoinThreads();
  // Nothing reads or writes the channels now. Closing them lets a node that
  // was unplugged go, so that its controller can come back at its old port.
  readers_.clear();
  for (Slot& slot : slots_) {
    slot.reader.reset();
    slot.writer.reset();
    std::lock_guard lock(slot.writeMutex);
    slot.pendingWrites.clear();
  }
  // Re-armed so that the next Open starts threads that keep running.
  stop_.Reset();
}

void CUSBTransfer::JoinThreads() {
  // Every blocking wait of the threads includes the stop event, a drain
  // thread writes nothing once it is set, and no thread waits on the owner
  // thread, so these joins wait for one write in flight at most.
  for (auto& reader : readers_) {
    if (reader->thread.joinable()) reader->thread.join();
  }
  for (Slot& slot : slots_) {
    if (slot.drainThread.joinable()) slot.drainThread.join();
  }
}

void CUSBTransfer::ReaderThread(Reader& reader) {
  NameThisThread("read", reader.channels.empty() ? -1 : reader.channels.front());
  std::array<uint8_t, 1024> buffer;
  for (;;) {
    buffer.fill(0);
    const ReadResult r = reader.channel->Read(buffer, stop_);
    if (r.status == ReadStatus::Stopped || stop_.IsSet()) return;
    if (r.status == ReadStatus::Gone) {
      // The device went: no answer can come, so nobody waits for one.
      for (int channel : reader.channels)
        slots_[channel].deviceLeft.store(true);
      answers_.Fail();
      stop_.WaitForever();
      return;
    }
    if (r.member >= reader.channels.size()) continue;
    HandleRead(reader.channels[r.member],
               std::span<const uint8_t>(buffer.data(), std::min(r.count, buffer.size())));
  }
}

void CUSBTransfer::HandleRead(int channel, std::span<const uint8_t> read) {
  if (read.empty()) return;
  if (profile_.recogniser == Recogniser::Console) {
    // Only the first report of the read is examined.
    OnInputReport(read);
    return;
  }
  const size_t length = profile_.channels[channel].inputLength;
  if (length == 0 || read.size() % length != 0) return;
  for (size_t offset = 0; offset < read.size(); offset += length) {
    OnInputReport(read.subspan(offset, length));
  }
}

void CUSBTransfer::WriteDrainThread(int channel) {
  NameThisThread("drain", channel);
  Slot& slot = slots_[channel];
  if (!slot.writer) {
    stop_.WaitForever();
    return;
  }
  for (;;) {
    WaitForAny({&slot.writePending, &stop_});
    // One report at a time, the stop event looked at before each: a write
    // may block in its USB transfer, and stopping waits for that one only.
    for (;;) {
      std::vector<uint8_t> report;
      {
        std::lock_guard lock(slot.writeMutex);
        slot.writing = false;
        if (stop_.IsSet()) return;
        if (slot.pendingWrites.empty()) {
          slot.writePending.Reset();
          break;
        }
        report = std::move(slot.pendingWrites.front());
        slot.pendingWrites.pop_front();
        slot.writing = true;
      }
      if (slot.writer->Write(report, stop_) || stop_.IsSet()) continue;
      // A failed transfer (a USB time-out) fails its request; the reports
      // behind it belong to requests that have failed with it.
      {
        std::lock_guard lock(slot.writeMutex);
        slot.pendingWrites.clear();
      }
      answers_.Fail();
    }
  }
}

bool CUSBTransfer::WriteReport(int channel, std::span<const uint8_t> report) {
  if (!connected_.load()) return false;
  if (channel < 0 || channel >= kChannelCount) return false;
  Slot& slot = slots_[channel];
  if (!slot.writer || !slot.drainThread.joinable() || slot.deviceLeft.load()) return false;
  std::lock_guard lock(slot.writeMutex);
  // Reports keep their order: the direct write is tried only while the drain
  // thread has nothing queued or in hand.
  if (!slot.writing && slot.pendingWrites.empty()) {
    switch (slot.writer->TryWrite(report)) {
      case HidChannel::TryResult::Written:
        return true;
      case HidChannel::TryResult::Failed:
        return false;
      case HidChannel::TryResult::WouldBlock:
        break;
    }
  }
  slot.pendingWrites.emplace_back(report.begin(), report.end());
  slot.writePending.Set();
  return true;
}

namespace {

// Tells the dispatcher (the window) that its thread waits, for as long as
// this lives. The dispatcher is set and cleared on the owner thread only.
class OwnerWait {
 public:
  explicit OwnerWait(AnswerDispatcher* dispatcher) : dispatcher_(dispatcher) {
    if (dispatcher_) {
      dispatcher_->WaitBegins();
      idle_ = [this] { dispatcher_->WhileWaiting(); };
    }
  }
  ~OwnerWait() {
    if (dispatcher_) dispatcher_->WaitEnds();
  }
  OwnerWait(const OwnerWait&) = delete;
  OwnerWait& operator=(const OwnerWait&) = delete;
  const AnswerQueue::WhileWaiting& Idle() const { return idle_; }

 private:
  AnswerDispatcher* const dispatcher_;
  AnswerQueue::WhileWaiting idle_;
};

}  // namespace

std::string CUSBTransfer::LockPath() const {
  for (int channel : {kCommandChannel, kCalibrationChannel}) {
    if (!slots_[channel].path.empty()) return slots_[channel].path;
  }
  for (const Slot& slot : slots_) {
    if (!slot.path.empty()) return slot.path;
  }
  return {};
}

ExchangeGroup CUSBTransfer::BeginGroup() {
  using Status = ExchangeGroup::Status;
  if (groupDepth_ > 0) {
    ++groupDepth_;
    return {this, Status::Held};
  }
  const std::string path = LockPath();
  if (path.empty() || !connected_.load()) return {nullptr, Status::Failed};
  constexpr auto kRetry = std::chrono::milliseconds(20);
  const auto deadline = Clock::now() + profile_.lockWait;
  for (;;) {
    LockHolder holder;
    switch (bus_->TryLockController(path, groupLock_, holder)) {
      case LockStatus::Taken:
        groupDepth_ = 1;
        return {this, Status::Held};
      case LockStatus::Failed:
        return {nullptr, Status::Failed};
      case LockStatus::Busy:
        break;
    }
    if (Clock::now() >= deadline || DeviceLeft()) return {nullptr, Status::Busy, holder};
    Wait(kRetry);
  }
}

ExchangeGroup CUSBTransfer::BeginGroup(const std::function<bool(const LockHolder&)>& tryAgain) {
  for (;;) {
    ExchangeGroup group = BeginGroup();
    if (group.GetStatus() != ExchangeGroup::Status::Busy || !tryAgain(group.Holder())) return group;
  }
}

void CUSBTransfer::EndGroup() {
  if (groupDepth_ > 0 && --groupDepth_ == 0) groupLock_.reset();
}

void ExchangeGroup::End() {
  if (CUSBTransfer* link = std::exchange(link_, nullptr)) link->EndGroup();
}

SendOutcome CUSBTransfer::Exchange(int channel, std::span<const uint8_t> report) {
  const auto deadline = Clock::now() + profile_.answerTimeout;
  const AnswerQueue::Ticket ticket = answers_.Expect(AnswerPattern::Of(report));
  if (!WriteReport(channel, report)) {
    answers_.Withdraw(ticket);
    return SendOutcome::Failed;
  }
  AnswerQueue::WaitResult result;
  {
    OwnerWait wait(dispatcher_.load());
    result = answers_.WaitForAnswer(owner_.load(), ticket, deadline, wait.Idle());
  }
  RepostIfQueued();
  switch (result) {
    case AnswerQueue::WaitResult::Answered:
      return SendOutcome::Answered;
    case AnswerQueue::WaitResult::TimedOut:
      return SendOutcome::TimedOut;
    case AnswerQueue::WaitResult::Failed:
      break;
  }
  return SendOutcome::Failed;
}

bool CUSBTransfer::SendAndWait(int channel, std::span<const uint8_t> report) {
  return Exchange(channel, report) == SendOutcome::Answered;
}

SendOutcome CUSBTransfer::ExchangeFrame(int channel, const FrameBuffer& frame) {
  const size_t frameLength =
      channel == kCommandChannel ? kCommandFrameLength : kCalibrationFrameLength;
  const size_t length =
      std::min(frameLength, static_cast<size_t>(std::max(0, OutputLength(channel))));
  return Exchange(channel, std::span<const uint8_t>(frame.data(), length));
}

bool CUSBTransfer::SendFrame(int channel, const FrameBuffer& frame) {
  return ExchangeFrame(channel, frame) == SendOutcome::Answered;
}

bool CUSBTransfer::DeviceLeft() const {
  return std::any_of(slots_.begin(), slots_.end(),
                     [](const Slot& s) { return s.deviceLeft.load(); });
}

void CUSBTransfer::RecordPauses(std::function<void(std::chrono::milliseconds)> recorder) {
  pauseRecorder_ = std::move(recorder);
}

void CUSBTransfer::Pause(std::chrono::milliseconds duration) {
  if (pauseRecorder_) pauseRecorder_(duration);
  Wait(duration);
}

void CUSBTransfer::Wait(std::chrono::milliseconds duration) {
  if (duration.count() <= 0) return;
  {
    OwnerWait wait(dispatcher_.load());
    answers_.Pause(owner_.load(), answers_.Take(), Clock::now() + duration, wait.Idle());
  }
  RepostIfQueued();
}

void CUSBTransfer::DrainAnswers() {
  answers_.Drain(owner_.load());
  RepostIfQueued();
}

void CUSBTransfer::RepostIfQueued() {
  // Frames that came while a handler ran (its message box open, say) were
  // left by the drains of that time; ask the owner for another one.
  if (!answers_.NeedsDrain()) return;
  std::lock_guard lock(dispatcherMutex_);
  if (AnswerDispatcher* dispatcher = dispatcher_.load()) dispatcher->Post();
}

bool CUSBTransfer::OnInputReport(std::span<const uint8_t> report) {
  if (!IsAnswerFrame(profile_.recogniser, report)) return false;
  Deliver(report);
  return true;
}

void CUSBTransfer::Deliver(std::span<const uint8_t> frame) {
  const bool unasked = TakenUnasked(frame);
  std::unique_lock lock(dispatcherMutex_);
  AnswerDispatcher* dispatcher = dispatcher_.load();
  if (dispatcher == nullptr) {
    lock.unlock();
    const std::optional<uint64_t> request = answers_.Claim(frame, unasked);
    if (!request) return;
    if (AnswerSink* owner = owner_.load()) owner->OnAnswer(frame);
    answers_.Handled(*request);
    return;
  }
  // Post() never blocks; calling it under the lock keeps SetDispatcher from
  // returning while it runs.
  if (answers_.Push(frame, unasked)) dispatcher->Post();
}

bool CUSBTransfer::MatchesDevicePath(const std::string& path) const {
  if (path.empty()) return false;
  return std::any_of(slots_.begin(), slots_.end(),
                     [&](const Slot& slot) { return SamePath(slot.path, path); });
}

std::string CUSBTransfer::DevicePath(int channel) const {
  if (channel < 0 || channel >= kChannelCount) return {};
  return slots_[channel].path;
}

std::unique_ptr<DeviceWatch> CUSBTransfer::WatchDevices(HidBus::NoticeCallback callback) {
  return bus_->WatchDevices(std::move(callback));
}

}  // namespace orvelle
