#include "devlink/hid/win_bus.h"

namespace orvelle {
namespace {
class WinHidBus final : public HidBus {
public:
  std::vector<HidCollection> Enumerate() override { return {}; }
  std::unique_ptr<HidChannel> Open(const std::string&, Access) override { return nullptr; }
  std::unique_ptr<DeviceWatch> WatchDevices(NoticeCallback) override { return nullptr; }
  bool Owns(const std::string&) const override { return false; }
};
}  // namespace
std::unique_ptr<HidBus> MakeWinHidBus() { return std::make_unique<WinHidBus>(); }
}  // namespace orvelle
