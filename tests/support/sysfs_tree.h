#pragma once
// A fake sysfs tree of hidraw nodes under given roots: each node's uevent
// text and, when given, its report descriptor.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "devlink/hid/hidraw_bus.h"

namespace orvelle::testing {

inline constexpr char kControllerUevent[] =
    "DRIVER=hid-generic\nHID_ID=0003:00002A5C:00000013\nHID_NAME=Touch Frame\n"
    "HID_PHYS=usb-0000:00:14.0-1/input0\n";

inline void AddHidrawNode(const HidrawRoots& roots, const std::string& name,
                          const std::string& uevent,
                          const std::optional<std::vector<uint8_t>>& descriptor) {
  const std::filesystem::path device =
      std::filesystem::path(roots.sysfs) / "class/hidraw" / name / "device";
  std::filesystem::create_directories(device);
  std::ofstream(device / "uevent") << uevent;
  if (!descriptor) return;
  std::ofstream(device / "report_descriptor", std::ios::binary)
      .write(reinterpret_cast<const char*>(descriptor->data()),
             static_cast<std::streamsize>(descriptor->size()));
}

}  // namespace orvelle::testing
