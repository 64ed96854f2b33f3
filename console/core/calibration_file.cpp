#include "console/core/calibration_file.h"

#include <algorithm>

#include "platform/atomic_file.h"
#include "platform/input_file.h"

namespace orvelle::console {
namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr size_t kHeaderAOffset = 0;
constexpr size_t kHeaderBOffset = 3;
constexpr size_t kFlagsOffset = 6;
constexpr size_t kFlagCount = 3;
constexpr size_t kPairCount = 9;
constexpr size_t kFirstPairLine = 11;
constexpr size_t kPairLineLength = 14;
constexpr size_t kFieldLength = 6;
// Record offsets: header A, header B, flags, then the pairs' 16-bit values.
constexpr size_t kRecordFlags = 2;
constexpr size_t kRecordValues = 5;

// Where each CR LF of the file begins.
constexpr std::array<size_t, 3 + kPairCount> kLineEnds = {1,  4,  9,  23,  37,  51,
                                                          65, 79, 93, 107, 121, 135};

// Values above 0xC000 are written as negative numbers, as files in use hold
// them. Those whose negative form would take six characters (0xC001..0xD8F0)
// stay positive: a field must keep at least one NUL, and the reader keeps the
// low 16 bits, so both forms read back the same.
constexpr uint16_t kLastPositive = 0xD8F0;

std::string NumberField(uint16_t value) {
  const int number = value <= kLastPositive ? int{value} : int{value} - 0x10000;
  std::string field = std::to_string(number);
  field.resize(kFieldLength, '\0');
  return field;
}

// The values the writer puts in a field, one for each 16-bit record value.
constexpr long kLowestWritten = int{kLastPositive} + 1 - 0x10000;
constexpr long kHighestWritten = kLastPositive;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A field as the writer leaves it: an optional "-", digits, then NULs to its
// end, holding a value the writer puts there; anything else is damage, which
// must not reach the controller as a value nobody wrote.
std::optional<uint16_t> ParseNumberField(std::string_view field) {
  const size_t end = field.find('\0');
  if (end == std::string_view::npos || field.find_first_not_of('\0', end) != field.npos)
    return std::nullopt;
  std::string_view text = field.substr(0, end);
  const bool negative = text.starts_with('-');
  if (negative) text.remove_prefix(1);
  if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit)) return std::nullopt;
  long number = 0;
  for (char c : text)
    number = number * 10 + (c - '0');
  if (negative) number = -number;
  if (number < kLowestWritten || number > kHighestWritten) return std::nullopt;
  return static_cast<uint16_t>(number);
}

char Digit(uint8_t byte) {
  return static_cast<char>(static_cast<uint8_t>(byte + '0'));
}
uint8_t FromDigit(char c) {
  return static_cast<uint8_t>(static_cast<uint8_t>(c) - '0');
}

}  // namespace

std::string FormatCalibrationFile(const CalibrationRecord& record) {
  std::string file;
  file.reserve(kCalibrationFileLength);
  file += Digit(record[0]);
  file += kLineEnd;
  file += Digit(record[1]);
  file += kLineEnd;
  for (size_t k = 0; k < kFlagCount; ++k)
    file += record[kRecordFlags + k] != 0 ? '1' : '0';
  file += kLineEnd;
  for (size_t i = 0; i < kPairCount; ++i) {
    for (size_t v = 0; v < 2; ++v) {
      const size_t at = kRecordValues + 4 * i + 2 * v;
      file += NumberField(static_cast<uint16_t>(record[at] | (record[at + 1] << 8)));
    }
    file += kLineEnd;
  }
  return file;
}

std::optional<CalibrationRecord> ParseCalibrationFile(std::string_view content) {
  if (content.size() < kCalibrationFileLength) return std::nullopt;
  for (size_t at : kLineEnds) {
    if (content.substr(at, 2) != kLineEnd) return std::nullopt;
  }
  CalibrationRecord record{};
  record[0] = FromDigit(content[kHeaderAOffset]);
  record[1] = FromDigit(content[kHeaderBOffset]);
  // Flag characters other than "0" and "1" are kept as they come.
  for (size_t k = 0; k < kFlagCount; ++k)
    record[kRecordFlags + k] = FromDigit(content[kFlagsOffset + k]);
  for (size_t i = 0; i < kPairCount; ++i) {
    for (size_t v = 0; v < 2; ++v) {
      const auto value = ParseNumberField(
          content.substr(kFirstPairLine + kPairLineLength * i + kFieldLength * v, kFieldLength));
      if (!value) return std::nullopt;
      const size_t at = kRecordValues + 4 * i + 2 * v;
      record[at] = LowByte(*value);
      record[at + 1] = HighByte(*value);
    }
  }
  return record;
}

CalibrationFileResult WriteCalibrationFile(const std::filesystem::path& path,
                                           const CalibrationRecord& record, std::string* why) {
  if (path.empty()) return CalibrationFileResult::EmptyPath;
  const FileWriteResult written = WriteFileAtomically(path, FormatCalibrationFile(record));
  if (written) return CalibrationFileResult::Done;
  if (why) *why = written.Reason();
  return CalibrationFileResult::Failed;
}

CalibrationFileResult ReadCalibrationFile(const std::filesystem::path& path,
                                          CalibrationRecord& record) {
  if (path.empty()) return CalibrationFileResult::EmptyPath;
  // Only the first 137 bytes count, however large a wrongly chosen file is;
  // a FIFO or a folder is refused, not waited on.
  InputFileError error;
  const std::optional<InputFileContent> content =
      ReadInputFile(path, kCalibrationFileLength, error);
  if (!content) return CalibrationFileResult::Failed;
  const auto parsed = ParseCalibrationFile(content->bytes);
  if (!parsed) return CalibrationFileResult::Failed;
  record = *parsed;
  return CalibrationFileResult::Done;
}

}  // namespace orvelle::console
