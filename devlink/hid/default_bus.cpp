#include "devlink/hid/default_bus.h"

#include <cerrno>
#include <cstdlib>

#include "devlink/hid/sim_bus.h"
#ifdef _WIN32
#include "devlink/hid/win_bus.h"
#endif

namespace orvelle {
namespace {

class CombinedWatch final : public DeviceWatch {
 public:
  std::vector<std::unique_ptr<DeviceWatch>> parts;
};

class CombinedBus final : public HidBus {
 public:
  explicit CombinedBus(std::vector<std::unique_ptr<HidBus>> buses) : buses_(std::move(buses)) {}

  std::vector<HidCollection> Enumerate() override {
    std::vector<HidCollection> all;
    for (auto& bus : buses_) {
      auto some = bus->Enumerate();
      all.insert(all.end(), std::make_move_iterator(some.begin()),
                 std::make_move_iterator(some.end()));
    }
    return all;
  }

  std::unique_ptr<HidChannel> Open(const std::string& path, Access access) override {
    for (auto& bus : buses_) {
      if (bus->Owns(path)) return bus->Open(path, access);
    }
    return nullptr;
  }

  std::unique_ptr<DeviceWatch> WatchDevices(NoticeCallback callback) override {
    auto combined = std::make_unique<CombinedWatch>();
    for (auto& bus : buses_) {
      if (auto watch = bus->WatchDevices(callback)) combined->parts.push_back(std::move(watch));
    }
    if (combined->parts.empty()) return nullptr;
    return combined;
  }

  bool Owns(const std::string& path) const override {
    for (const auto& bus : buses_) {
      if (bus->Owns(path)) return true;
    }
    return false;
  }

  LockStatus TryLockController(const std::string& path, std::unique_ptr<ControllerLock>& lock,
                               LockHolder& holder) override {
    for (auto& bus : buses_) {
      if (bus->Owns(path)) return bus->TryLockController(path, lock, holder);
    }
    errno = ENOENT;
    return LockStatus::Failed;
  }

  // Each bus shares the reads of its own opens; members are mapped back to
  // the positions in `opens`.
  std::vector<SharedReader> ShareReads(std::vector<ReadOpen> opens) override {
    std::vector<SharedReader> all;
    for (auto& bus : buses_) {
      std::vector<ReadOpen> mine;
      std::vector<size_t> positions;
      for (size_t i = 0; i < opens.size(); ++i) {
        if (!opens[i].channel || !bus->Owns(opens[i].path)) continue;
        mine.push_back(std::move(opens[i]));
        positions.push_back(i);
      }
      for (SharedReader& shared : bus->ShareReads(std::move(mine))) {
        for (size_t& member : shared.members)
          member = positions.at(member);
        all.push_back(std::move(shared));
      }
    }
    return all;
  }

 private:
  std::vector<std::unique_ptr<HidBus>> buses_;
};

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

}  // namespace

DefaultBusOptions DefaultBusOptions::FromEnvironment() {
  DefaultBusOptions options;
  options.simDir = DefaultSimDir();
  options.hidraw.sysfs = EnvOr("ORVELLE_SYSFS_ROOT", options.hidraw.sysfs);
  options.hidraw.dev = EnvOr("ORVELLE_DEV_ROOT", options.hidraw.dev);
  return options;
}

std::shared_ptr<HidBus> CombineBuses(std::vector<std::unique_ptr<HidBus>> buses) {
  return std::make_shared<CombinedBus>(std::move(buses));
}

std::shared_ptr<HidBus> MakeDefaultBus(const DefaultBusOptions& options) {
  std::vector<std::unique_ptr<HidBus>> buses;
#ifdef _WIN32
  if (options.withHidraw) buses.push_back(MakeWinHidBus());
#else
  if (options.withHidraw) buses.push_back(MakeHidrawBus(options.hidraw));
#endif
  buses.push_back(MakeSimBus(options.simDir.empty() ? DefaultSimDir() : options.simDir));
  return CombineBuses(std::move(buses));
}

std::shared_ptr<HidBus> MakeDefaultBus() {
  return MakeDefaultBus(DefaultBusOptions::FromEnvironment());
}

}  // namespace orvelle
