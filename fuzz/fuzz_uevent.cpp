// The uevent text of a hidraw node's HID device, as sysfs gives it. An
// identity that is read back from the text formatted again is the same.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "devlink/hid/hidraw_sysfs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto identity = orvelle::ParseHidUevent(text);
  if (!identity) return 0;
  char line[64];
  std::snprintf(line, sizeof line, "DRIVER=hid-generic\nHID_ID=0003:%08X:%08X\n",
                identity->vendorId, identity->productId);
  const auto again = orvelle::ParseHidUevent(line);
  if (!again || again->vendorId != identity->vendorId || again->productId != identity->productId) {
    std::abort();
  }
  return 0;
}
