#pragma once
// CUSBTransfer: the device link. Finds the controller among the HID
// collections of a bus, opens its collections as numbered channels, keeps a
// write-drain thread on each of the profile's channels and reader threads for
// them (one per node where the bus lets one open read for several), and sends
// one frame at a time, waiting for the recognised answer (stop-and-wait).
//
// When the controller goes (a reader sees the hang-up) or a request's write
// fails, every wait under way ends at once with failure; a failed write also
// drops the writes queued behind it on that channel, and the link goes on.
//
// Other programs may have the same controller open and receive every answer
// too: a request is answered only by a frame that answers it (AnswerPattern),
// the program's handler sees nothing else but the frames it takes unasked,
// and each exchange group holds the controller's lock (BeginGroup).

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "devlink/answer_queue.h"
#include "devlink/dispatch.h"
#include "devlink/exchange_group.h"
#include "devlink/frame.h"
#include "devlink/hid/bus.h"
#include "devlink/hid/event.h"
#include "devlink/link_profile.h"

namespace orvelle {

// How a request ended: Failed when its write failed or the device went.
enum class SendOutcome : uint8_t { Answered, Failed, TimedOut };

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
  // Frames that no request of this program waits for and that its handler
  // still takes (raw touch points during a calibration, everything for a
  // monitor). Called on reader threads; must not block. None: only answers.
  void TakeUnasked(std::function<bool(std::span<const uint8_t>)> wanted);
  // nullptr: handlers run on the reader threads. The dispatcher's Post() is
  // called with the link's queue locked: it must only wake the owner thread.
  void SetDispatcher(AnswerDispatcher* dispatcher);
  // Shown by the program when discovery runs out of memory.
  void SetOutOfMemoryHandler(std::function<void()> handler);

  // Points the link at one controller (its path, or one of its collections'):
  // discovery opens that one only, and the others' notices are not the
  // link's (DecideDeviceChange). Empty: the first controller as ranked.
  // Owner thread; the next discovery follows it.
  void SetDevice(const std::string& controllerPath);
  const std::string& Device() const { return device_; }

  // Discovery; returns the number of accepted collections that could be
  // opened (whether or not they fill a channel slot). Threads must be stopped.
  int Discover();
  // Discover, then start the profile's threads. False, with no threads, when
  // no accepted collection was found or none could be opened.
  bool Open();
  // Ends the threads, waiting for at most the one write in flight per
  // channel, and closes the channels; the paths stay for MatchesDevicePath.
  void StopThreads();

  // Why the last discovery could not open a present, accepted collection:
  // the errno of the failed open (EACCES: the user may not open the node,
  // which the udev rule of the README mends), or 0 when every open succeeded
  // or no accepted collection was present. With Open() false and this not 0,
  // a program says that the controller is there but cannot be opened.
  int LastOpenError() const { return lastOpenError_.load(); }

  // 0 when the collection has no preparsed data; otherwise 1, with the lengths
  // written only when the capabilities query succeeded.
  static int QueryReportLengths(const HidCollection& collection, uint16_t& inputLength,
                                uint16_t& outputLength);
  int OutputLength(int channel) const;
  bool HasChannels() const { return acceptedCount_.load() != 0; }
  int AcceptedCount() const { return acceptedCount_.load(); }
  // A controller is open: set by discovery (or, where the profile says so,
  // once the threads run) and cleared by its removal.
  bool IsConnected() const { return connected_.load(); }
  void SetConnected(bool connected) { connected_.store(connected); }
  // Case-insensitive comparison with the six stored channel paths.
  bool MatchesDevicePath(const std::string& path) const;
  std::string DevicePath(int channel) const;
  bool HasThreads() const;

  // Never blocks: writes at once when the channel can take the report without
  // waiting, else hands it to the channel's write-drain thread. False when not
  // connected, when the slot is empty, or when the device has left.
  bool WriteReport(int channel, std::span<const uint8_t> report);
  // Takes the controller's lock for one exchange group, waiting up to the
  // profile's lockWait while another program holds it (answers keep being
  // handed over meanwhile). Nested groups of this link share the outer's lock.
  ExchangeGroup BeginGroup();
  // The same, asking `tryAgain` whether to wait once more each time another
  // program held the controller all the wait long.
  ExchangeGroup BeginGroup(const std::function<bool(const LockHolder&)>& tryAgain);

  // Writes and waits for the request's own answer, up to the profile's
  // time-out; ends at once when the device goes or the write fails meanwhile.
  SendOutcome Exchange(int channel, std::span<const uint8_t> report);
  bool SendAndWait(int channel, std::span<const uint8_t> report);
  // Exchange for a frame built for `channel`: its command or calibration
  // length, cut to what the channel's output report holds.
  SendOutcome ExchangeFrame(int channel, const FrameBuffer& frame);
  bool SendFrame(int channel, const FrameBuffer& frame);
  // A reader saw the device go since the last discovery: the link's own
  // signal, also where the bus has no device watch.
  bool DeviceLeft() const;

  // The dispatcher's pause: waits, handing queued answers to the owner; ends
  // early when the device goes.
  void Pause(std::chrono::milliseconds duration);
  // Sees every pause asked for, on the owner thread, before it runs: the
  // pauses the controller needs between requests are checked without a clock.
  void RecordPauses(std::function<void(std::chrono::milliseconds)> recorder);
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
  uint64_t DroppedFrames() const { return answers_.Dropped(); }
  // Answers that no request of this program waited for.
  uint64_t UnaskedFrames() const { return answers_.Unasked(); }

 private:
  using Clock = std::chrono::steady_clock;

  struct Slot {
    std::string path;
    std::unique_ptr<HidChannel> reader;  // read handle, until a Reader takes it
    std::unique_ptr<HidChannel> writer;  // write handle
    std::thread drainThread;
    // The reader saw the device go; the next discovery clears it.
    std::atomic<bool> deviceLeft{false};
    std::mutex writeMutex;
    std::deque<std::vector<uint8_t>> pendingWrites;
    bool writing = false;  // the drain thread has a report in hand
    Event writePending;
  };

  // A thread reading for one or more channels through one read channel
  // (HidBus::ShareReads: one per hidraw node).
  struct Reader {
    std::unique_ptr<HidChannel> channel;
    std::vector<int> channels;  // indexed by ReadResult::member
    std::thread thread;
  };

  void StartThreads();
  void StartReaders();
  void JoinThreads();
  void ReaderThread(Reader& reader);
  void WriteDrainThread(int channel);
  void HandleRead(int channel, std::span<const uint8_t> read);
  void Deliver(std::span<const uint8_t> frame);
  bool TakenUnasked(std::span<const uint8_t> frame);
  // Hands answers over for `duration` without recording it as a pause.
  void Wait(std::chrono::milliseconds duration);
  // The collection whose controller is locked: the command channel's, else
  // the calibration channel's, so that every program names the same one.
  std::string LockPath() const;
  friend class ExchangeGroup;
  void EndGroup();
  // Frames were left queued behind a handler: ask the owner for a drain.
  void RepostIfQueued();

  const LinkProfile profile_;
  const std::shared_ptr<HidBus> bus_;
  std::array<Slot, kChannelCount> slots_;
  std::string device_;  // SetDevice; owner thread only
  std::vector<std::unique_ptr<Reader>> readers_;
  std::atomic<int> acceptedCount_{0};
  std::atomic<bool> connected_{false};
  std::atomic<int> lastOpenError_{0};
  Event stop_;
  std::atomic<AnswerSink*> owner_{nullptr};
  std::function<void()> outOfMemory_;

  AnswerQueue answers_;
  // Held while a reader calls the dispatcher's Post(), so that SetDispatcher
  // returns only when no Post() of the previous dispatcher runs.
  std::mutex dispatcherMutex_;
  std::atomic<AnswerDispatcher*> dispatcher_{nullptr};
  std::function<void(std::chrono::milliseconds)> pauseRecorder_;

  std::mutex unaskedMutex_;
  std::function<bool(std::span<const uint8_t>)> unasked_;
  // The lock of the group under way, and how deep groups nest (owner thread).
  std::unique_ptr<ControllerLock> groupLock_;
  int groupDepth_ = 0;
};

}  // namespace orvelle
