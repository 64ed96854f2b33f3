#pragma once
// A HID node delivers the reports of all its top-level collections; Windows
// gives each collection only its own, with the report ID first and padded to
// the collection's input length. Both node-based buses (hidraw, simulator)
// turn node reports into collection reports here.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "devlink/hid/descriptor.h"

namespace orvelle {

struct TlcReportFilter {
  bool usesReportIds = false;
  std::vector<uint8_t> inputReportIds;
  uint16_t inputLength = 0;

  static TlcReportFilter For(const ParsedDescriptor& descriptor, size_t collectionIndex);
  // Writes the collection's form of `raw` into `out` and returns its length,
  // or 0 when the report belongs to another collection.
  size_t Deliver(std::span<const uint8_t> raw, std::span<uint8_t> out) const;
};

// "<node>#colNN", NN counted from 01 as Windows counts collections.
std::string CollectionPath(const std::string& node, size_t collectionIndex);
// Splits a collection path; false when it has no "#colNN" suffix.
bool SplitCollectionPath(const std::string& path, std::string& node, size_t& collectionIndex);

}  // namespace orvelle
