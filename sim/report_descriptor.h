#pragma once
// The simulated controller's HID report descriptor: six top-level collections
// whose report byte lengths (report ID included) are those of the real frame:
// touch digitizer 62/0, keyboard 9/2, mouse 6/0, vendor input 64/4 or 64/8,
// calibration frames 48/48 (ID 6), command frames 64/64 (ID 7).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvelle {

inline constexpr uint8_t kDigitizerReportId = 1;
inline constexpr uint8_t kKeyboardReportId = 2;
inline constexpr uint8_t kMouseReportId = 3;
inline constexpr uint8_t kVendorReportId = 4;
inline constexpr uint8_t kContactMaximumFeatureId = 10;

inline constexpr size_t kDigitizerReportLength = 62;
inline constexpr int kDigitizerContacts = 10;
inline constexpr uint16_t kCoordinateMaximum = 4095;

// `vendorOutputLength` is 4 or 8: the vendor collection's output report length.
std::vector<uint8_t> ControllerReportDescriptor(uint8_t vendorOutputLength);

}  // namespace orvelle
