#pragma once
// HID report-descriptor parser: the top-level collections of a device with the
// report byte lengths that Windows' HidP_GetCaps would report for each.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orvelle {

struct TopLevelCollection {
  uint16_t usagePage = 0;
  uint16_t usage = 0;
  // Report IDs used by any main item of the collection, ascending; {0} when
  // the descriptor declares no report IDs.
  std::vector<uint8_t> reportIds;
  // Report IDs that carry input items, ascending; {0} without report IDs.
  std::vector<uint8_t> inputReportIds;
  // Per report ID the bits of all its main items of that kind (padding
  // included) rounded up to bytes, plus one byte for the ID (also without
  // IDs); the largest over the IDs; 0 when the collection has none.
  uint16_t inputLength = 0;
  uint16_t outputLength = 0;
  uint16_t featureLength = 0;
};

struct ParsedDescriptor {
  bool usesReportIds = false;
  std::vector<TopLevelCollection> collections;
};

// nullopt for a malformed descriptor (truncated item, unbalanced or too deep
// collections, absurd sizes); the device is then skipped.
std::optional<ParsedDescriptor> ParseReportDescriptor(std::span<const uint8_t> descriptor);

}  // namespace orvelle
