#pragma once
// What the device link needs from an operating system's HID stack. One
// implementation per backend (simulator sockets, Linux hidraw); the link sees
// collections the way Windows presents them: one device interface, with its own
// path, per top-level collection of a device.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace orvelle {

class Event;

// How far the capabilities of a collection could be learnt. Windows can fail
// at two points (the preparsed data, then the capabilities query); the link
// treats them differently, so both are kept.
enum class CapsState : uint8_t {
  NoPreparsedData,  // skipped by discovery, not counted
  QueryFailed,      // counted, lengths (0, 0)
  Ok,
};

struct HidCollection {
  std::string path;  // unique per collection: "<node>#colNN"
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  CapsState caps = CapsState::Ok;
  // Byte lengths as HidP_GetCaps reports them: the largest report of that
  // kind in the collection plus one byte for the report ID; 0 when none.
  uint16_t inputLength = 0;
  uint16_t outputLength = 0;
  bool simulated = false;  // a simulator's, which a real controller outranks
};

enum class Access : uint8_t { Read, Write };

enum class ReadStatus : uint8_t {
  Data,     // one report in the buffer
  Stopped,  // the stop event was set
  Gone,     // the device went away or the read failed for good
};

struct ReadResult {
  ReadStatus status = ReadStatus::Gone;
  size_t count = 0;
  // For a channel that reads for several collections (HidBus::ShareReads):
  // the position, among the collections it serves, of the report's own.
  size_t member = 0;
};

// One open of one collection.
class HidChannel {
 public:
  virtual ~HidChannel() = default;
  // Blocks until a report of this collection arrives or `stop` is set. The
  // report is written from buf[0] (report ID first, 0 when the device uses no
  // IDs), zero-padded to the collection's input length, never past buf.size().
  virtual ReadResult Read(std::span<uint8_t> buf, const Event& stop) = 0;
  // Writes one output report (report ID first). Blocks until the report is
  // handed to the device or `stop` is set; false on failure.
  virtual bool Write(std::span<const uint8_t> report, const Event& stop) = 0;
  // Writes one report only if that cannot block. Channels whose writes may
  // wait on the device (hidraw: the USB transfer) keep the default.
  enum class TryResult : uint8_t { Written, WouldBlock, Failed };
  virtual TryResult TryWrite(std::span<const uint8_t>) { return TryResult::WouldBlock; }
};

struct DeviceNotice {
  enum class Kind : uint8_t { Arrival, Removal };
  Kind kind = Kind::Arrival;
  std::string path;  // the collection path, as HidCollection::path
};

// Watching ends when this object is destroyed; its destructor waits until no
// callback is running.
class DeviceWatch {
 public:
  virtual ~DeviceWatch() = default;
};

// Who holds a controller's lock, as far as the system can tell.
struct LockHolder {
  long pid = 0;         // 0: not known
  std::string program;  // empty: not known
};

// An advisory lock on one controller, shared by every program of the suite
// and every user: held while this lives.
class ControllerLock {
 public:
  virtual ~ControllerLock() = default;
};

enum class LockStatus : uint8_t {
  Taken,
  Busy,    // another open holds it
  Failed,  // it cannot be taken (errno says why)
};

class HidBus {
 public:
  using NoticeCallback = std::function<void(const DeviceNotice&)>;

  virtual ~HidBus() = default;
  virtual std::vector<HidCollection> Enumerate() = 0;
  // nullptr when the collection cannot be opened; errno then says why
  // (EACCES: the user may not open it).
  virtual std::unique_ptr<HidChannel> Open(const std::string& path, Access access) = 0;
  // Reports arrival and removal, one notice per collection path, on a thread
  // of the bus's own. nullptr when the bus cannot watch.
  virtual std::unique_ptr<DeviceWatch> WatchDevices(NoticeCallback callback) = 0;
  // True when `path` names a collection of this bus (used to combine buses).
  virtual bool Owns(const std::string& path) const = 0;

  // Takes, without waiting, the lock of the controller that collection `path`
  // belongs to. Busy fills `holder` where the system can tell. Every bus
  // says how: one that wraps another passes the call on, and one that no
  // other program can reach (a test's own) grants a lock of no effect.
  virtual LockStatus TryLockController(const std::string& path,
                                       std::unique_ptr<ControllerLock>& lock,
                                       LockHolder& holder) = 0;

  // A read open of one collection, as Open(path, Access::Read) gave it.
  struct ReadOpen {
    std::string path;
    std::unique_ptr<HidChannel> channel;
  };
  // A channel that reads for one or more collections, and which of the read
  // opens it was made from (by index) it serves, in the order that
  // ReadResult::member counts them.
  struct SharedReader {
    std::unique_ptr<HidChannel> channel;
    std::vector<size_t> members;
  };
  // Lets as few channels as possible read for `opens` (null channels are
  // skipped). Every open of a hidraw node gets every report of the node, so
  // one open of it serves all its collections and a report wakes one reader,
  // not one per collection. The default keeps each open for its own
  // collection, as Windows and the simulator deliver them.
  virtual std::vector<SharedReader> ShareReads(std::vector<ReadOpen> opens) {
    std::vector<SharedReader> shared;
    for (size_t i = 0; i < opens.size(); ++i) {
      if (opens[i].channel) shared.push_back({std::move(opens[i].channel), {i}});
    }
    return shared;
  }
};

}  // namespace orvelle
