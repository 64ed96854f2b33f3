#pragma once
// An in-memory bus that behaves as Linux hidraw does, not as a FIFO: every
// read open of a node gets every report of the node, up to 63 unread ones; a write is a blocking
// USB transfer the stop event cannot interrupt; an unplugged node hangs up its
// descriptors, and the controller comes back as a new node at the same port.
// It holds one controller with the channel table's six collections.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devlink/hid/bus.h"

namespace orvelle::testing {

class HidrawLikeBus final : public HidBus {
 public:
  using Report = std::vector<uint8_t>;
  // Called on the writing thread once a write to collection `index` went out.
  using Responder = std::function<void(HidrawLikeBus&, size_t index, const Report&)>;

  explicit HidrawLikeBus(uint16_t ch3Output = 4);
  ~HidrawLikeBus() override;

  // Another device's collection, at its own path, that never leaves.
  void AddCollection(HidCollection collection);
  void SetResponder(Responder responder);
  // Every later write blocks this long; the next `failures` of them then fail
  // as a USB time-out does.
  void SetWriteTime(std::chrono::milliseconds time, int failures = 0);
  // While held, a write in flight stays in flight until released or until
  // the link stops: the test decides what happens meanwhile.
  void HoldWrites(bool hold);
  // Opens fail with this errno (0: they succeed).
  void RefuseOpens(int error);
  // Writes are made at once on the caller's thread, as the simulator's are.
  void AllowDirectWrites(bool allow);
  // Hands one read's bytes, as collection `index`'s, to every read open of
  // the current node.
  void PushInput(size_t index, Report bytes);

  // The node goes, or the controller returns as the next node; watchers hear.
  void Unplug();
  void Replug();

  std::string PathOf(size_t index) const;
  // Descriptors open on any node, old or current.
  int OpenDescriptors() const;
  size_t WritesStarted() const;
  // The writes to collection `index` that went out, in order.
  std::vector<Report> Writes(size_t index) const;
  // False after a limit meant only to end a failing test.
  bool WaitForWrites(size_t count) const;
  // Reports taken from a descriptor by a read, the reader's or not.
  size_t ReadWakeUps() const;

  std::vector<HidCollection> Enumerate() override;
  std::unique_ptr<HidChannel> Open(const std::string& path, Access access) override;
  std::unique_ptr<DeviceWatch> WatchDevices(NoticeCallback callback) override;
  bool Owns(const std::string& path) const override;
  // No other program reaches this bus: a lock of no effect.
  LockStatus TryLockController(const std::string&, std::unique_ptr<ControllerLock>& lock,
                               LockHolder&) override {
    lock = std::make_unique<ControllerLock>();
    return LockStatus::Taken;
  }
  std::vector<SharedReader> ShareReads(std::vector<ReadOpen> opens) override;

  struct State;

 private:
  void Notify(DeviceNotice::Kind kind);
  std::shared_ptr<State> state_;
};

// A report descriptor with one vendor-defined top-level collection per entry;
// lengths include the report ID byte, as the channel table counts them.
struct TestCollection {
  uint8_t reportId;
  uint16_t inputLength;
  uint16_t outputLength;
};
std::vector<uint8_t> BuildVendorDescriptor(const std::vector<TestCollection>& collections);
// The controller's six collections: (62,0) (9,2) (6,0) (64,ch3) (48,48 ID 6) (64,64 ID 7).
std::vector<uint8_t> ControllerLikeDescriptor(uint16_t channel3OutputLength);

}  // namespace orvelle::testing
