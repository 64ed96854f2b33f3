#include "sim/fault_rules.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "devlink/frame.h"
#include "devlink/protocol.h"

namespace orvelle {
namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

bool ParseByte(const std::string& text, uint8_t& value) {
  int base = 10;
  size_t start = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    start = 2;
  }
  unsigned parsed = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data() + start, end, parsed, base);
  if (ec != std::errc() || ptr != end || parsed > 0xFF || start == text.size()) return false;
  value = static_cast<uint8_t>(parsed);
  return true;
}

}  // namespace

std::vector<CommandKey> CatalogueRequests() {
  std::vector<CommandKey> keys;
  for (uint8_t reportId : {kCalibrationReportId, kCommandReportId}) {
    for (int code = 0; code < 256; ++code) {
      const auto key = CommandKey{reportId, static_cast<uint8_t>(code)};
      if (reportId == kCalibrationReportId && code == CAL_RAW_POINT) continue;
      if (CommandName(reportId, key.code)) keys.push_back(key);
    }
  }
  return keys;
}

std::optional<CommandKey> ParseCommandKey(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon != std::string::npos) {
    CommandKey key;
    if (!ParseByte(text.substr(0, colon), key.reportId) ||
        !ParseByte(text.substr(colon + 1), key.code)) {
      return std::nullopt;
    }
    return key;
  }
  const std::string name = Upper(text);
  for (uint8_t reportId : {kCalibrationReportId, kCommandReportId}) {
    for (int code = 0; code < 256; ++code) {
      const char* known = CommandName(reportId, static_cast<uint8_t>(code));
      if (known && name == known) return CommandKey{reportId, static_cast<uint8_t>(code)};
    }
  }
  return std::nullopt;
}

std::string CommandKeyName(CommandKey key) {
  if (const char* name = CommandName(key.reportId, key.code)) return name;
  char text[16];
  std::snprintf(text, sizeof text, "%u:0x%02X", key.reportId, key.code);
  return text;
}

std::optional<MalformKind> ParseMalformKind(const std::string& text) {
  if (text == "terminator") return MalformKind::Terminator;
  if (text == "length") return MalformKind::Length;
  if (text == "reportid") return MalformKind::ReportId;
  return std::nullopt;
}

std::string DescribeRule(const FaultRule& rule) {
  std::string text;
  switch (rule.kind) {
    case FaultKind::Refuse:
      text = "refuse";
      break;
    case FaultKind::Silent:
      text = "silent";
      break;
    case FaultKind::Delay:
      text = "delay " + std::to_string(rule.delay.count()) + " ms";
      break;
    case FaultKind::Malformed:
      text = std::string("malformed ") + (rule.malform == MalformKind::Terminator ? "terminator"
                                          : rule.malform == MalformKind::Length   ? "length"
                                                                                  : "reportid");
      break;
  }
  return text + (rule.once ? " (once)" : " (always)");
}

std::vector<uint8_t> Malform(const std::vector<uint8_t>& answer, MalformKind kind) {
  std::vector<uint8_t> broken = answer;
  if (broken.size() < 4) return broken;
  const size_t terminator = 3 + size_t{broken[2]};
  switch (kind) {
    case MalformKind::Terminator:
      if (terminator < broken.size()) broken[terminator] = 0xFE;
      break;
    case MalformKind::Length:
      broken[2] = static_cast<uint8_t>(broken[2] + 1);
      break;
    case MalformKind::ReportId:
      if (broken[0] == kCalibrationReportId) {
        broken[0] = kCommandReportId;
        broken.resize(kCommandFrameLength, 0);
      } else {
        broken[0] = kCalibrationReportId;
        broken.resize(kCalibrationFrameLength);
      }
      break;
  }
  return broken;
}

}  // namespace orvelle
