#pragma once
// Scripted misbehaviour per command: refuse, stay silent, answer late, or
// answer with a broken frame; once or until cleared.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvelle {

enum class FaultKind : uint8_t {
  Refuse,     // answer with status 0 (or {sub, 0}); the request changes nothing
  Silent,     // the request is lost: no processing, no answer
  Delay,      // processed at once, answered after `delay`
  Malformed,  // processed, answered with a broken frame
};

enum class MalformKind : uint8_t {
  Terminator,  // 0xFE where the 0xFF terminator belongs
  Length,      // the length byte one too large, so the terminator is misplaced
  ReportId,    // sent with the other frame collection's report ID and length
};

struct FaultRule {
  FaultKind kind = FaultKind::Refuse;
  bool once = false;
  std::chrono::milliseconds delay{0};
  MalformKind malform = MalformKind::Terminator;
};

// A command as (report ID, code): names are unique across both frame kinds.
struct CommandKey {
  uint8_t reportId = 0;
  uint8_t code = 0;
  bool operator==(const CommandKey&) const = default;
  auto operator<=>(const CommandKey&) const = default;
};

// "CAL_BEGIN", "cfg_12" or "7:0x12" / "6:4".
std::optional<CommandKey> ParseCommandKey(const std::string& text);
std::string CommandKeyName(CommandKey key);
// Every catalogue command that the controller answers, for help and listings.
std::vector<CommandKey> CatalogueRequests();

std::optional<MalformKind> ParseMalformKind(const std::string& text);
std::string DescribeRule(const FaultRule& rule);

// The broken form of an answer frame.
std::vector<uint8_t> Malform(const std::vector<uint8_t>& answer, MalformKind kind);

}  // namespace orvelle
