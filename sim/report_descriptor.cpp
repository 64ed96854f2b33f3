#include "sim/report_descriptor.h"

namespace orvelle {
namespace {

// Short items of the HID report descriptor, with the smallest data size that
// holds the value (signed for logical limits, unsigned for usages and counts).
class DescriptorWriter {
 public:
  void Unsigned(uint8_t prefix, uint32_t value) {
    if (value <= 0xFF) return Emit(prefix, value, 1);
    if (value <= 0xFFFF) return Emit(prefix, value, 2);
    Emit(prefix, value, 4);
  }
  void Signed(uint8_t prefix, int32_t value) {
    if (value >= -128 && value <= 127) return Emit(prefix, static_cast<uint32_t>(value), 1);
    if (value >= -32768 && value <= 32767) return Emit(prefix, static_cast<uint32_t>(value), 2);
    Emit(prefix, static_cast<uint32_t>(value), 4);
  }
  void Bare(uint8_t prefix) { bytes_.push_back(prefix); }

  void UsagePage(uint32_t page) { Unsigned(0x04, page); }
  void Usage(uint32_t usage) { Unsigned(0x08, usage); }
  void UsageRange(uint32_t first, uint32_t last) {
    Unsigned(0x18, first);
    Unsigned(0x28, last);
  }
  void Logical(int32_t minimum, int32_t maximum) {
    Signed(0x14, minimum);
    Signed(0x24, maximum);
  }
  void Fields(uint32_t bits, uint32_t count) {
    Unsigned(0x74, bits);
    Unsigned(0x94, count);
  }
  void ReportId(uint8_t id) { Unsigned(0x84, id); }
  void Application() { Unsigned(0xA0, 0x01); }
  void PhysicalCollection() { Unsigned(0xA0, 0x00); }
  void LogicalCollection() { Unsigned(0xA0, 0x02); }
  void End() { Bare(0xC0); }
  void Input(uint32_t flags) { Unsigned(0x80, flags); }
  void Output(uint32_t flags) { Unsigned(0x90, flags); }
  void Feature(uint32_t flags) { Unsigned(0xB0, flags); }

  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  void Emit(uint8_t prefix, uint32_t value, int size) {
    const uint8_t sizeCode = size == 4 ? 3 : static_cast<uint8_t>(size);
    bytes_.push_back(static_cast<uint8_t>(prefix | sizeCode));
    for (int i = 0; i < size; ++i)
      bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
  std::vector<uint8_t> bytes_;
};

constexpr uint32_t kData = 0x02;      // data, variable, absolute
constexpr uint32_t kConstant = 0x03;  // padding
constexpr uint32_t kArray = 0x00;     // data, array

constexpr uint32_t kGenericDesktop = 0x01, kKeyboardPage = 0x07, kLedPage = 0x08,
                   kButtonPage = 0x09, kDigitizerPage = 0x0D, kVendorPage = 0xFF00;

// Ten contacts of six bytes (state, contact id, x, y) and a contact count.
void TouchScreen(DescriptorWriter& d) {
  d.UsagePage(kDigitizerPage);
  d.Usage(0x04);  // touch screen
  d.Application();
  d.ReportId(kDigitizerReportId);
  for (int contact = 0; contact < kDigitizerContacts; ++contact) {
    d.UsagePage(kDigitizerPage);
    d.Usage(0x22);  // finger
    d.LogicalCollection();
    d.Usage(0x42);  // tip switch
    d.Usage(0x32);  // in range
    d.Logical(0, 1);
    d.Fields(1, 2);
    d.Input(kData);
    d.Fields(6, 1);
    d.Input(kConstant);
    d.Usage(0x51);  // contact identifier
    d.Logical(0, 255);
    d.Fields(8, 1);
    d.Input(kData);
    d.UsagePage(kGenericDesktop);
    d.Usage(0x30);
    d.Usage(0x31);
    d.Logical(0, kCoordinateMaximum);
    d.Fields(16, 2);
    d.Input(kData);
    d.End();
  }
  d.UsagePage(kDigitizerPage);
  d.Usage(0x54);  // contact count
  d.Logical(0, kDigitizerContacts);
  d.Fields(8, 1);
  d.Input(kData);
  d.ReportId(kContactMaximumFeatureId);
  d.Usage(0x55);  // contact count maximum
  d.Feature(kData);
  d.End();
}

// Modifiers, a reserved byte and six key codes in; five LEDs out.
void Keyboard(DescriptorWriter& d) {
  d.UsagePage(kGenericDesktop);
  d.Usage(0x06);
  d.Application();
  d.ReportId(kKeyboardReportId);
  d.UsagePage(kKeyboardPage);
  d.UsageRange(0xE0, 0xE7);
  d.Logical(0, 1);
  d.Fields(1, 8);
  d.Input(kData);
  d.Fields(8, 1);
  d.Input(kConstant);
  d.UsagePage(kLedPage);
  d.UsageRange(1, 5);
  d.Fields(1, 5);
  d.Output(kData);
  d.Fields(3, 1);
  d.Output(kConstant);
  d.UsagePage(kKeyboardPage);
  d.UsageRange(0, 0x65);
  d.Logical(0, 0x65);
  d.Fields(8, 6);
  d.Input(kArray);
  d.End();
}

// Three buttons and an absolute position.
void Mouse(DescriptorWriter& d) {
  d.UsagePage(kGenericDesktop);
  d.Usage(0x02);
  d.Application();
  d.ReportId(kMouseReportId);
  d.Usage(0x01);  // pointer
  d.PhysicalCollection();
  d.UsagePage(kButtonPage);
  d.UsageRange(1, 3);
  d.Logical(0, 1);
  d.Fields(1, 3);
  d.Input(kData);
  d.Fields(5, 1);
  d.Input(kConstant);
  d.UsagePage(kGenericDesktop);
  d.Usage(0x30);
  d.Usage(0x31);
  d.Logical(0, kCoordinateMaximum);
  d.Fields(16, 2);
  d.Input(kData);
  d.End();
  d.End();
}

// A vendor collection of bytes: `inputBytes` in and `outputBytes` out (report
// ID not counted).
void VendorCollection(DescriptorWriter& d, uint32_t usage, uint8_t reportId, uint32_t inputBytes,
                      uint32_t outputBytes) {
  d.UsagePage(kVendorPage);
  d.Usage(usage);
  d.Application();
  d.ReportId(reportId);
  d.Logical(0, 255);
  d.Usage(usage + 0x10);
  d.Fields(8, inputBytes);
  d.Input(kData);
  d.Usage(usage + 0x20);
  d.Fields(8, outputBytes);
  d.Output(kData);
  d.End();
}

}  // namespace

std::vector<uint8_t> ControllerReportDescriptor(uint8_t vendorOutputLength) {
  DescriptorWriter d;
  TouchScreen(d);
  Keyboard(d);
  Mouse(d);
  VendorCollection(d, 0x01, kVendorReportId, 63, vendorOutputLength == 8 ? 7u : 3u);
  VendorCollection(d, 0x02, 6, 47, 47);  // calibration frames
  VendorCollection(d, 0x03, 7, 63, 63);  // command frames
  return d.Take();
}

}  // namespace orvelle
