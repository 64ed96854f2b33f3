#pragma once
// The calibration data file: one copy of the controller's 41-byte calibration
// record, so that a calibration can be kept on the PC and loaded into the same
// or another controller. 137 bytes of text, lines ended by CR LF:
//   header byte A + '0', header byte B + '0', the three flags as "0"/"1",
//   then nine lines of two 6-byte number fields (decimal, padded with NULs).
// Free of Qt so that the command-line tool shares it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "devlink/protocol.h"

namespace orvelle::console {

using CalibrationRecord = std::array<uint8_t, kCalibrationRecordLength>;

inline constexpr size_t kCalibrationFileLength = 137;

enum class CalibrationFileResult {
  Done,
  EmptyPath,  // no file was chosen
  Failed,     // cannot be written, or cannot be read or is damaged
};

// The file's 137 bytes for `record`.
std::string FormatCalibrationFile(const CalibrationRecord& record);
// The record in the first 137 bytes of `content`; none when they could only
// come from damage: too short, a line end missing, or a number field other
// than the writer writes (a "-" and digits, NULs to the end, a value of
// -9999..55536).
std::optional<CalibrationRecord> ParseCalibrationFile(std::string_view content);

// Replaces the file atomically: when writing fails, an old file stays as it
// was, and `why` (when given) says what kept it from being written.
CalibrationFileResult WriteCalibrationFile(const std::filesystem::path& path,
                                           const CalibrationRecord& record,
                                           std::string* why = nullptr);
CalibrationFileResult ReadCalibrationFile(const std::filesystem::path& path,
                                          CalibrationRecord& record);

}  // namespace orvelle::console
