#pragma once
// The bus every program uses: real controllers (through hidraw, or the Win32
// HID bus on Windows) and simulated ones through the simulator folder, side by
// side.

#include <memory>
#include <string>
#include <vector>

#include "devlink/hid/bus.h"
#include "devlink/hid/hidraw_bus.h"

namespace orvelle {

struct DefaultBusOptions {
  std::string simDir;      // empty: DefaultSimDir()
  HidrawRoots hidraw;      // $ORVELLE_SYSFS_ROOT / $ORVELLE_DEV_ROOT override
  bool withHidraw = true;  // real controllers too (hidraw, or Windows' HID bus)
  static DefaultBusOptions FromEnvironment();
};

std::shared_ptr<HidBus> MakeDefaultBus(const DefaultBusOptions& options);
std::shared_ptr<HidBus> MakeDefaultBus();  // FromEnvironment()

// Several buses as one: collections of all, opens and notices routed by Owns().
std::shared_ptr<HidBus> CombineBuses(std::vector<std::unique_ptr<HidBus>> buses);

}  // namespace orvelle
