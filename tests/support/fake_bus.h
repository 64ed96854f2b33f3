#pragma once
// An in-memory HID bus for link tests: collections are declared by the test,
// every read open of a collection receives what the test pushes, writes are
// recorded and may be answered by a responder.

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "devlink/hid/bus.h"

namespace orvelle::testing {

class FakeBus final : public HidBus {
public:
  using Report = std::vector<uint8_t>;
  // Called on the writing thread for every report written to `path`.
  using Responder = std::function<void(FakeBus& bus, const std::string& path, const Report&)>;

  void AddCollection(HidCollection collection);
  void SetResponder(Responder responder);
  // Delivers one read result (may hold several reports) to every read open.
  void PushRead(const std::string& path, Report bytes);
  // Every open of the path fails from now on; reads and writes report Gone.
  void Unplug(const std::string& path);
  void RefuseOpens(const std::string& path);
  void Notify(const DeviceNotice& notice);
  // Writes that cannot block are made at once on the caller's thread, as the
  // simulator's socket does; by default every write goes through the link's
  // writer thread, as on hidraw.
  void AllowDirectWrites(bool allow);

  std::vector<Report> Writes(const std::string& path) const;
  size_t WriteCount() const;
  // Waits (up to the time-out) until at least `count` writes were made.
  bool WaitForWrites(size_t count, std::chrono::milliseconds timeout) const;
  int OpenCount() const;

  std::vector<HidCollection> Enumerate() override;
  std::unique_ptr<HidChannel> Open(const std::string& path, Access access) override;
  std::unique_ptr<DeviceWatch> WatchDevices(NoticeCallback callback) override;
  bool Owns(const std::string& path) const override;

  FakeBus();
  ~FakeBus() override;
  struct Shared;

private:
  std::shared_ptr<Shared> shared_;
};

// A report descriptor with one vendor-defined top-level collection per entry,
// each with its own report ID and the given input and output report byte
// lengths (ID byte included, as the channel table counts them).
struct TestCollection {
  uint8_t reportId;
  uint16_t inputLength;
  uint16_t outputLength;
};
// The controller's six collections on the bus, at ControllerPath(0..5), with
// the channel-3 output length of the given variant.
std::string ControllerPath(int channel);
void AddController(FakeBus& bus, uint16_t ch3Output = 4, uint16_t vid = 0x2A5C, uint16_t pid = 19);

std::vector<uint8_t> BuildVendorDescriptor(const std::vector<TestCollection>& collections);
// The controller's six collections: (62,0) (9,2) (6,0) (64,ch3) (48,48 ID 6) (64,64 ID 7).
std::vector<uint8_t> ControllerLikeDescriptor(uint16_t channel3OutputLength);

}  // namespace orvelle::testing
