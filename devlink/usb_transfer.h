#pragma once
// CUSBTransfer: the device link. Finds the controller among the HID
// collections of a bus, opens its collections as numbered channels, keeps a
// reader and a write-drain thread on the profile's channels, and sends one
// frame at a time, waiting for the recognised answer (stop-and-wait).

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "devlink/dispatch.h"
#include "devlink/event.h"
#include "devlink/hid/bus.h"
#include "devlink/link_profile.h"

namespace orvelle {

class CUSBTransfer {
public:
  CUSBTransfer(LinkProfile profile, std::shared_ptr<HidBus> bus);
  // Teardown: stops every thread; the stop event is not re-armed.
  virtual ~CUSBTransfer();
  CUSBTransfer(const CUSBTransfer&) = delete;
  CUSBTransfer& operator=(const CUSBTransfer&) = delete;

  // The console's process-wide link: console profile on the default bus.
  static CUSBTransfer& Instance();

  void SetOwner(AnswerSink* owner);
  // nullptr: handlers run on the reader threads. The dispatcher's Post() is
  // called with the link's queue locked: it must only wake the owner thread.
  void SetDispatcher(AnswerDispatcher* dispatcher);
  // Shown by the program when discovery runs out of memory.
  void SetOutOfMemoryHandler(std::function<void()> handler);

  // Discovery; returns the channel count. Threads must be stopped.
  int Discover();
  // Discover, then start the profile's threads. False, with no threads, when
  // no accepted collection was found.
  bool Open();
  void StopThreads();

  bool IsAcceptedId(uint16_t vendorId, uint16_t productId) const;
  // 0 when the collection has no preparsed data; otherwise 1, with the lengths
  // written only when the capabilities query succeeded.
  static int QueryReportLengths(const HidCollection& collection, uint16_t& inputLength,
                                uint16_t& outputLength);
  int OutputLength(int channel) const;
  bool HasChannels() const { return channelCount_.load() != 0; }
  int ChannelCount() const { return channelCount_.load(); }
  int IsConnected() const { return connected_.load(); }
  void SetConnected(int value) { connected_.store(value); }
  // Case-insensitive comparison with the six stored channel paths.
  bool MatchesDevicePath(const std::string& path) const;
  std::string DevicePath(int channel) const;
  bool HasThreads() const;

  // Never blocks: writes at once when the channel can take the report without
  // waiting, else hands it to the channel's write-drain thread. False when not
  // connected, when the slot is empty, or when the device is known gone.
  bool WriteReport(int channel, std::span<const uint8_t> report);
  // Writes and waits for any recognised answer, up to the profile's time-out.
  bool SendAndWait(int channel, std::span<const uint8_t> report);

  // The dispatcher's pause: waits, handing queued answers to the owner.
  void Pause(std::chrono::milliseconds duration);
  // Hands every queued answer to the owner (owner thread, when idle).
  void DrainAnswers();

  // Recognises one report and hands it on; true when it was an answer.
  // Called by the reader threads.
  bool OnInputReport(std::span<const uint8_t> report);

  // Device arrival and removal notices, on the bus's watcher thread.
  std::unique_ptr<DeviceWatch> WatchDevices(HidBus::NoticeCallback callback);

  const LinkProfile& Profile() const { return profile_; }
  HidBus& Bus() { return *bus_; }
  // Frames dropped because the owner thread did not keep up (dispatcher mode).
  uint64_t DroppedFrames() const { return droppedFrames_.load(); }

private:
  using Clock = std::chrono::steady_clock;

  struct Slot {
    std::string path;
    std::unique_ptr<HidChannel> reader;  // read handle
    std::unique_ptr<HidChannel> writer;  // write handle
    std::thread readerThread;
    std::thread drainThread;
    std::atomic<bool> gone{false};  // a read or write failed for good
    std::mutex writeMutex;
    std::deque<std::vector<uint8_t>> pendingWrites;
    bool draining = false;  // the drain thread is writing a batch
    Event writePending;
  };

  struct QueuedFrame {
    uint64_t seq = 0;
    std::array<uint8_t, 64> bytes{};
    size_t length = 0;
  };

  void StartThreads();
  void JoinThreads();
  void ReaderThread(int channel);
  void WriteDrainThread(int channel);
  void HandleRead(int channel, std::span<const uint8_t> read);
  void Deliver(std::span<const uint8_t> frame);
  // Hands queued frames to the owner in order until one newer than
  // `satisfiedAfter` was handled (true) or the deadline passed (false).
  bool DeliverQueued(Clock::time_point deadline, uint64_t satisfiedAfter);
  void RepostIfQueued();  // queue lock held

  const LinkProfile profile_;
  const std::shared_ptr<HidBus> bus_;
  std::array<Slot, kChannelCount> slots_;
  std::atomic<int> channelCount_{0};
  std::atomic<int> connected_{0};
  Event stop_;
  Event answer_;  // used without a dispatcher
  std::atomic<AnswerSink*> owner_{nullptr};
  std::atomic<AnswerDispatcher*> dispatcher_{nullptr};
  std::function<void()> outOfMemory_;

  std::mutex queueMutex_;
  std::condition_variable queueChanged_;
  std::deque<QueuedFrame> queue_;
  uint64_t lastQueuedSeq_ = 0;
  bool handling_ = false;  // a handler is running on the owner thread
  std::atomic<uint64_t> droppedFrames_{0};
};

}  // namespace orvelle
