#include "devlink/usb_transfer.h"

#include <pthread.h>

#include <algorithm>
#include <new>
#include <string>


namespace orvelle {
namespace {

// Names show in debuggers and in /proc, e.g. "orv-read-4".
void NameThisThread(const char* role, int channel) {
  const std::string name = std::string("orv-") + role + "-" + std::to_string(channel);
  pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

}  // namespace

CUSBTransfer::CUSBTransfer(LinkProfile profile, std::shared_ptr<HidBus> bus)
    : profile_(std::move(profile)), bus_(std::move(bus)) {}

CUSBTransfer::~CUSBTransfer() {
  stop_.Set();
  JoinThreads();
  std::lock_guard lock(queueMutex_);
  queue_.clear();
}

void CUSBTransfer::SetOwner(AnswerSink* owner) { owner_.store(owner); }

void CUSBTransfer::SetDispatcher(AnswerDispatcher* dispatcher) {
  // Under the queue's lock: once this returns, no reader is still inside the
  // previous dispatcher's Post().
  std::lock_guard lock(queueMutex_);
  dispatcher_.store(dispatcher);
}

void CUSBTransfer::SetOutOfMemoryHandler(std::function<void()> handler) {
  outOfMemory_ = std::move(handler);
}

bool CUSBTransfer::IsAcceptedId(uint16_t vendorId, uint16_t productId) const {
  if (profile_.vendorIds.size() != profile_.productIds.size()) return false;
  for (size_t i = 0; i < profile_.vendorIds.size(); ++i) {
    if (profile_.vendorIds[i] == vendorId && profile_.productIds[i] == productId) return true;
  }
  return false;
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

int CUSBTransfer::Discover() {
  connected_.store(0);
  channelCount_.store(0);
  std::vector<HidCollection> collections;
  try {
    collections = bus_->Enumerate();
  } catch (const std::bad_alloc&) {
    if (outOfMemory_) outOfMemory_();
    return 0;
  }
  int count = 0;
  for (const HidCollection& c : collections) {
    if (!IsAcceptedId(c.vendorId, c.productId)) continue;
    uint16_t inputLength = 0;
    uint16_t outputLength = 0;
    if (QueryReportLengths(c, inputLength, outputLength) == 0) continue;
    connected_.store(1);
    auto reader = bus_->Open(c.path, Access::Read);
    auto writer = bus_->Open(c.path, Access::Write);
    const int channel = FindChannel(profile_.channels, inputLength, outputLength);
    if (channel >= 0) {
      // A later collection with the same lengths takes the slot over.
      Slot& slot = slots_[channel];
      slot.path = c.path;
      slot.reader = std::move(reader);
      slot.writer = std::move(writer);
      slot.gone.store(false);
      std::lock_guard lock(slot.writeMutex);
      slot.pendingWrites.clear();
      slot.writePending.Reset();
    }
    ++count;
  }
  channelCount_.store(count);
  return count;
}

bool CUSBTransfer::Open() {
  // Discovery replaces the channels that running threads use.
  if (HasThreads()) StopThreads();
  if (Discover() < 1) return false;
  StartThreads();
  if (profile_.connectAfterThreads) connected_.store(1);
  return true;
}

void CUSBTransfer::StartThreads() {
  for (int channel : profile_.threadChannels) {
    if (channel < 0 || channel >= kChannelCount) continue;
    Slot& slot = slots_[channel];
    slot.readerThread = std::thread(&CUSBTransfer::ReaderThread, this, channel);
    slot.drainThread = std::thread(&CUSBTransfer::WriteDrainThread, this, channel);
    Pause(profile_.startPause);
  }
}

bool CUSBTransfer::HasThreads() const {
  return std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) {
    return s.readerThread.joinable() || s.drainThread.joinable();
  });
}

void CUSBTransfer::StopThreads() {
  stop_.Set();
  JoinThreads();
  // Re-armed so that the next Open starts threads that keep running.
  stop_.Reset();
}

void CUSBTransfer::JoinThreads() {
  // Every blocking wait of the threads includes the stop event, and none waits
  // on the owner thread, so these joins end promptly.
  for (Slot& slot : slots_) {
    if (slot.readerThread.joinable()) slot.readerThread.join();
  }
  for (Slot& slot : slots_) {
    if (slot.drainThread.joinable()) slot.drainThread.join();
  }
}

void CUSBTransfer::ReaderThread(int channel) {
  NameThisThread("read", channel);
  Slot& slot = slots_[channel];
  std::array<uint8_t, 1024> buffer;
  for (;;) {
    buffer.fill(0);
    if (!slot.reader || slot.gone.load()) {
      // Empty slot or vanished device: nothing to read until stopped.
      stop_.WaitForever();
      return;
    }
    const ReadResult r = slot.reader->Read(buffer, stop_);
    if (r.status == ReadStatus::Stopped || stop_.IsSet()) return;
    if (r.status == ReadStatus::Gone) {
      slot.gone.store(true);
      continue;
    }
    HandleRead(channel, std::span<const uint8_t>(buffer.data(), std::min(r.count, buffer.size())));
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
  for (;;) {
    if (!slot.writer) {
      stop_.WaitForever();
      return;
    }
    WaitForAny({&slot.writePending, &stop_});
    if (stop_.IsSet()) return;
    std::deque<std::vector<uint8_t>> batch;
    {
      std::lock_guard lock(slot.writeMutex);
      batch.swap(slot.pendingWrites);
      slot.writePending.Reset();
      slot.draining = true;
    }
    for (const auto& report : batch) {
      if (!slot.writer->Write(report, stop_)) {
        if (stop_.IsSet()) break;
        slot.gone.store(true);
      }
    }
    std::lock_guard lock(slot.writeMutex);
    slot.draining = false;
    if (stop_.IsSet()) return;
  }
}

bool CUSBTransfer::WriteReport(int channel, std::span<const uint8_t> report) {
  if (connected_.load() == 0) return false;
  if (channel < 0 || channel >= kChannelCount) return false;
  Slot& slot = slots_[channel];
  if (!slot.writer || !slot.drainThread.joinable() || slot.gone.load()) return false;
  std::lock_guard lock(slot.writeMutex);
  // Reports keep their order: the direct write is tried only while the drain
  // thread has nothing queued or in hand.
  if (!slot.draining && slot.pendingWrites.empty()) {
    switch (slot.writer->TryWrite(report)) {
      case HidChannel::TryResult::Written:
        return true;
      case HidChannel::TryResult::Failed:
        slot.gone.store(true);
        return false;
      case HidChannel::TryResult::WouldBlock:
        break;
    }
  }
  slot.pendingWrites.emplace_back(report.begin(), report.end());
  slot.writePending.Set();
  return true;
}

bool CUSBTransfer::SendAndWait(int channel, std::span<const uint8_t> report) {
  const auto deadline = Clock::now() + profile_.answerTimeout;
  if (dispatcher_.load() == nullptr) {
    answer_.Reset();
    if (!WriteReport(channel, report)) return false;
    return answer_.Wait(profile_.answerTimeout);
  }
  uint64_t noted = 0;
  {
    std::lock_guard lock(queueMutex_);
    noted = lastQueuedSeq_;
  }
  if (!WriteReport(channel, report)) return false;
  return DeliverQueued(deadline, noted);
}

void CUSBTransfer::Pause(std::chrono::milliseconds duration) {
  if (duration.count() <= 0) return;
  if (dispatcher_.load() == nullptr) {
    std::this_thread::sleep_for(duration);
    return;
  }
  DeliverQueued(Clock::now() + duration, UINT64_MAX);
}

void CUSBTransfer::DrainAnswers() { DeliverQueued(Clock::now(), UINT64_MAX); }

bool CUSBTransfer::DeliverQueued(Clock::time_point deadline, uint64_t satisfiedAfter) {
  std::unique_lock lock(queueMutex_);
  for (;;) {
    // Handlers never nest: a handler that waits (a message box, a request of
    // its own) leaves later frames queued, in order.
    if (!handling_ && !queue_.empty()) {
      QueuedFrame frame = queue_.front();
      queue_.pop_front();
      handling_ = true;
      lock.unlock();
      if (AnswerSink* owner = owner_.load()) owner->OnAnswer({frame.bytes.data(), frame.length});
      lock.lock();
      handling_ = false;
      if (frame.seq > satisfiedAfter) {
        RepostIfQueued();
        return true;
      }
      continue;
    }
    if (Clock::now() >= deadline) {
      RepostIfQueued();
      return false;
    }
    queueChanged_.wait_until(lock, deadline);
  }
}

void CUSBTransfer::RepostIfQueued() {
  // Frames that came while a handler ran (its message box open, say) were
  // refused by the drains of that time; ask the owner for another one.
  if (handling_ || queue_.empty()) return;
  if (AnswerDispatcher* dispatcher = dispatcher_.load()) dispatcher->Post();
}

bool CUSBTransfer::OnInputReport(std::span<const uint8_t> report) {
  if (!IsAnswerFrame(profile_.recogniser, report)) return false;
  Deliver(report);
  return true;
}

void CUSBTransfer::Deliver(std::span<const uint8_t> frame) {
  std::unique_lock lock(queueMutex_);
  AnswerDispatcher* dispatcher = dispatcher_.load();
  if (dispatcher == nullptr) {
    lock.unlock();
    if (AnswerSink* owner = owner_.load()) owner->OnAnswer(frame);
    answer_.Set();
    return;
  }
  // A window thread that stops draining must not make the queue grow without
  // bound; the newest frames are dropped then, as a full HID driver buffer
  // would drop them.
  constexpr size_t kQueueLimit = 8192;
  if (queue_.size() >= kQueueLimit) {
    droppedFrames_.fetch_add(1);
    return;
  }
  QueuedFrame queued;
  queued.seq = ++lastQueuedSeq_;
  queued.length = std::min(frame.size(), queued.bytes.size());
  std::copy_n(frame.begin(), queued.length, queued.bytes.begin());
  queue_.push_back(queued);
  queueChanged_.notify_all();
  // Post() never blocks; calling it under the lock keeps SetDispatcher from
  // returning while it runs.
  dispatcher->Post();
}

bool CUSBTransfer::MatchesDevicePath(const std::string& path) const {
  if (path.empty()) return false;
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  for (const Slot& slot : slots_) {
    if (slot.path.size() != path.size()) continue;
    if (std::equal(path.begin(), path.end(), slot.path.begin(),
                   [&](char a, char b) { return lower(a) == lower(b); })) {
      return true;
    }
  }
  return false;
}

std::string CUSBTransfer::DevicePath(int channel) const {
  if (channel < 0 || channel >= kChannelCount) return {};
  return slots_[channel].path;
}

std::unique_ptr<DeviceWatch> CUSBTransfer::WatchDevices(HidBus::NoticeCallback callback) {
  return bus_->WatchDevices(std::move(callback));
}

}  // namespace orvelle
