#include "console/core/calibration_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <tuple>

#include "tests/support/temp_folder.h"

namespace orvelle::console {
namespace {

using namespace std::string_literals;

// A record with `value` in every one of the eighteen 16-bit places.
CalibrationRecord WithValues(uint16_t value, uint8_t a = 0, uint8_t b = 0,
                             std::array<uint8_t, 3> flags = {}) {
  CalibrationRecord record{a, b, flags[0], flags[1], flags[2]};
  for (size_t at = 5; at < record.size(); at += 2) {
    record[at] = static_cast<uint8_t>(value & 0xFF);
    record[at + 1] = static_cast<uint8_t>(value >> 8);
  }
  return record;
}

std::string Field(std::string_view text) {
  std::string field(text);
  field.resize(6, '\0');
  return field;
}

TEST(CalibrationFile, LayoutOfHeadersFlagsAndNumbers) {
  const std::tuple<CalibrationRecord, std::string, std::string> cases[] = {
      {WithValues(0), "0\r\n0\r\n000\r\n", Field("0")},
      {WithValues(0xC000, 3, 1, {1, 0, 1}), "3\r\n1\r\n101\r\n", Field("49152")},
      {WithValues(0xFFFF, 10, 255), ":\r\n/\r\n000\r\n", Field("-1")},
      {WithValues(0xD8F1), "0\r\n0\r\n000\r\n", Field("-9999")},
      // The negative form would take six characters and leave no NUL.
      {WithValues(0xC001), "0\r\n0\r\n000\r\n", Field("49153")},
      {WithValues(0xD8F0), "0\r\n0\r\n000\r\n", Field("55536")},
  };
  for (const auto& [record, head, field] : cases) {
    const std::string file = FormatCalibrationFile(record);
    ASSERT_EQ(file.size(), kCalibrationFileLength);
    EXPECT_EQ(ParseCalibrationFile(file), record);
    EXPECT_EQ(file.substr(0, 11), head);  // then nine lines of two number fields
    for (size_t line = 11; line < file.size(); line += 14)
      EXPECT_EQ(file.substr(line, 14), field + field + "\r\n") << field;
  }
}

// Every 16-bit value, and every header byte, comes back as it was exported.
TEST(CalibrationFile, EveryValueAndHeaderByteRoundTrips) {
  for (uint32_t value = 0; value <= 0xFFFF; ++value) {
    const auto record = WithValues(static_cast<uint16_t>(value), static_cast<uint8_t>(value),
                                   static_cast<uint8_t>(value >> 8));
    ASSERT_EQ(ParseCalibrationFile(FormatCalibrationFile(record)), record) << value;
  }
}

TEST(CalibrationFile, WhatTheWriterWritesIsAcceptedAnythingElseIsRefused) {
  const std::string good = FormatCalibrationFile(WithValues(0x1234, 2, 0, {1, 1, 0}));
  const auto withFirstField = [&](std::string_view text) {
    return std::string(good).replace(11, 6, Field(text));
  };
  const auto with = [&](size_t at, std::string_view text) {
    return std::string(good).replace(at, text.size(), text);
  };
  const std::tuple<const char*, std::string, std::optional<uint16_t>> cases[] = {
      {"as written", good, 0x1234},
      {"longer", good + "trailing bytes", 0x1234},
      {"lowest written", withFirstField("-9999"), 0xD8F1},
      {"highest written", withFirstField("55536"), 0xD8F0},
      {"short", good.substr(0, kCalibrationFileLength - 1), std::nullopt},
      {"empty", "", std::nullopt},
      {"LF only", with(1, "\nx"), std::nullopt},
      {"last line end", with(135, "\0"s), std::nullopt},
      {"no digits", withFirstField(""), std::nullopt},
      {"sign only", withFirstField("-"), std::nullopt},
      {"letters", withFirstField("ab"), std::nullopt},
      {"letter after digits", withFirstField("20a8"), std::nullopt},
      {"digits after a NUL", withFirstField("20\0 48"s), std::nullopt},
      {"six digits", with(11, "123456"), std::nullopt},
      {"six characters", with(11, "-16383"), std::nullopt},
      {"above the highest", withFirstField("55537"), std::nullopt},
      {"below the lowest", withFirstField("-10000"), std::nullopt},
      {"plus sign", withFirstField("+17"), std::nullopt},
      {"leading blank", withFirstField(" 2"), std::nullopt},
      {"blank padded", withFirstField("12   "), std::nullopt},
  };
  for (const auto& [name, file, firstValue] : cases) {  // no first value: refused
    const auto record = ParseCalibrationFile(file);
    EXPECT_EQ(record ? std::optional(uint16_t((*record)[5] | (*record)[6] << 8)) : std::nullopt,
              firstValue)
        << name;
  }
  // Flags are written as on or off; a flag character other than 0 or 1 comes
  // through as its distance from '0'.
  EXPECT_EQ(FormatCalibrationFile(WithValues(1, 0, 0, {7, 0, 255})).substr(6, 3), "101");
  EXPECT_EQ(ParseCalibrationFile(with(6, "7"))->at(2), 7);
}

TEST(CalibrationFile, FilesAreWrittenWholeAndReadBack) {
  testing::TempFolder folder;
  const std::string path = folder.File("calibration.ini");
  const CalibrationRecord record = WithValues(0xABCD, 4, 1, {1, 0, 0});
  CalibrationRecord back{};
  EXPECT_EQ(WriteCalibrationFile("", record), CalibrationFileResult::EmptyPath);
  EXPECT_EQ(ReadCalibrationFile("", back), CalibrationFileResult::EmptyPath);
  EXPECT_EQ(ReadCalibrationFile(path, back), CalibrationFileResult::Failed);
  EXPECT_EQ(ReadCalibrationFile(folder.Path(), back), CalibrationFileResult::Failed);
#ifndef _WIN32
  // Chosen in the import dialog, a FIFO is refused at once, not waited on.
  const std::string fifo = folder.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadCalibrationFile(fifo, back), CalibrationFileResult::Failed);
  std::filesystem::remove(fifo);
#endif

  ASSERT_EQ(WriteCalibrationFile(path, record), CalibrationFileResult::Done);
  ASSERT_EQ(ReadCalibrationFile(path, back), CalibrationFileResult::Done);
  EXPECT_EQ(back, record);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

#ifndef _WIN32  // a file-size limit needs setrlimit
// The disk fills up halfway through the new file: the old one stays.
TEST(CalibrationFile, AFailingWriteLeavesTheOldFileByteForByte) {
  testing::TempFolder folder;
  const std::string path = folder.File("calibration.ini");
  const std::string old = "an earlier export\r\n"s + std::string(30, '\0');
  { std::ofstream(path, std::ios::binary) << old; }

  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
  const rlimit small{64, limit.rlim_max};
  const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const CalibrationFileResult result = WriteCalibrationFile(path, WithValues(0x0102));
  setrlimit(RLIMIT_FSIZE, &limit);
  signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(result, CalibrationFileResult::Failed);
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}
#endif

}  // namespace
}  // namespace orvelle::console
