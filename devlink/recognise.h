#pragma once
// Telling an answer frame from every other input report. Each program has its
// own variant; a report that fails is dropped silently.

#include <cstdint>
#include <span>

namespace orvelle {

enum class Recogniser : uint8_t {
  Console,      // first report of a read; report ID <= 8 as a signed byte; n <= 57
  Calibration,  // 48- or 64-byte report; report ID 6 or 7; n <= 59
  Factory,      // 64-byte report; report ID 7; n <= 59
};

// True when `report` is an answer frame for that program. The terminator
// must lie inside the report: nothing past report.size() is ever read.
bool IsAnswerFrame(Recogniser variant, std::span<const uint8_t> report);

}  // namespace orvelle
