// The calibration data file that import reads: whatever the bytes, the reader
// takes a record or refuses; a record it takes is written as 137 bytes that
// read back and write again to the very same bytes. (The first read may keep
// flag characters other than "0" and "1", which the writer puts as "1".)

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "console/core/calibration_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvelle::console;
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  const auto record = ParseCalibrationFile(content);
  if (!record) return 0;
  const std::string written = FormatCalibrationFile(*record);
  if (written.size() != kCalibrationFileLength) std::abort();
  const auto again = ParseCalibrationFile(written);
  if (!again || FormatCalibrationFile(*again) != written) std::abort();
  return 0;
}
