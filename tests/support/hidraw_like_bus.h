#pragma once
// An in-memory bus that behaves as Linux hidraw does, not as a FIFO: a node
// always polls writable and a write is a blocking USB transfer that may take
// long and then fail with a time-out, whatever the stop event says; an
// unplugged node hangs up every descriptor still open on it; a controller
// plugged back in comes back as a new node at the same port while the old
// descriptors stay open; opens may fail with an errno (EACCES without the
// udev rule).

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devlink/hid/bus.h"
#include "devlink/link_profile.h"

namespace orvelle::testing {

class HidrawLikeBus final : public HidBus {
 public:
  using Report = std::vector<uint8_t>;
  // Called on the writing thread once a write to collection `index` went out.
  using Responder = std::function<void(HidrawLikeBus&, size_t index, const Report&)>;

  // A controller with the channel table's six collections (channel 3 output
  // `ch3Output`) at USB port `port`, as a new hidraw node.
  explicit HidrawLikeBus(std::string port = "usb-0000:00:14.0-1/input0", uint16_t ch3Output = 4);
  ~HidrawLikeBus() override;

  void SetResponder(Responder responder);
  // Every later write blocks this long; the next `failures` of them then fail
  // as a USB time-out does.
  void SetWriteTime(std::chrono::milliseconds time, int failures = 0);
  // Opens fail with this errno (0: they succeed).
  void RefuseOpens(int error);
  // Hands one input report of collection `index` to every read open of the
  // current node.
  void PushInput(size_t index, Report report);
  // false: every read open keeps its own descriptor, as before reads were
  // shared (to compare the wake-ups).
  void ShareNodeReads(bool share) { shareReads_ = share; }

  // The node goes: its descriptors hang up, watchers get removal notices.
  void Unplug();
  // The controller returns at the same port as the next hidraw node; watchers
  // get arrival notices.
  void Replug();

  std::string PathOf(size_t index) const;
  std::string NodeName() const;
  // Descriptors open on any node, old or current.
  int OpenDescriptors() const;
  size_t WritesStarted() const;
  // Reports taken from a descriptor by a read, whether or not they were the
  // reader's: each is a reader thread woken.
  size_t ReadWakeUps() const;

  std::vector<HidCollection> Enumerate() override;
  std::unique_ptr<HidChannel> Open(const std::string& path, Access access) override;
  std::unique_ptr<DeviceWatch> WatchDevices(NoticeCallback callback) override;
  bool Owns(const std::string& path) const override;
  std::vector<SharedReader> ShareReads(std::vector<ReadOpen> opens) override;

  struct State;

 private:
  void Notify(DeviceNotice::Kind kind);
  std::shared_ptr<State> state_;
  bool shareReads_ = true;
};

}  // namespace orvelle::testing
