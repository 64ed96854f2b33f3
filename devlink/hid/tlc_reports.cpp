#include "devlink/hid/tlc_reports.h"

#include <algorithm>
#include <cstdio>

namespace orvelle {

TlcReportFilter TlcReportFilter::For(const ParsedDescriptor& descriptor, size_t collectionIndex) {
  TlcReportFilter f;
  f.usesReportIds = descriptor.usesReportIds;
  if (collectionIndex < descriptor.collections.size()) {
    const auto& c = descriptor.collections[collectionIndex];
    f.inputReportIds = c.inputReportIds;
    f.inputLength = c.inputLength;
  }
  return f;
}

size_t TlcReportFilter::Deliver(std::span<const uint8_t> raw, std::span<uint8_t> out) const {
  if (raw.empty() || inputLength == 0 || out.empty()) return 0;
  std::fill(out.begin(), out.end(), 0);
  const size_t length = std::min<size_t>(inputLength, out.size());
  if (usesReportIds) {
    if (!std::binary_search(inputReportIds.begin(), inputReportIds.end(), raw[0])) return 0;
    std::copy_n(raw.begin(), std::min(raw.size(), length), out.begin());
  } else {
    // Without report IDs the node gives bare data; Windows puts a zero first.
    std::copy_n(raw.begin(), std::min(raw.size(), length - 1), out.begin() + 1);
  }
  return length;
}

std::string CollectionPath(const std::string& node, size_t collectionIndex) {
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "#col%02zu", collectionIndex + 1);
  return node + suffix;
}

bool SplitCollectionPath(const std::string& path, std::string& node, size_t& collectionIndex) {
  const size_t hash = path.rfind("#col");
  if (hash == std::string::npos || hash + 4 >= path.size()) return false;
  size_t value = 0;
  for (size_t i = hash + 4; i < path.size(); ++i) {
    const char c = path[i];
    if (c < '0' || c > '9' || value > 1000) return false;
    value = value * 10 + static_cast<size_t>(c - '0');
  }
  if (value == 0) return false;
  node = path.substr(0, hash);
  collectionIndex = value - 1;
  return true;
}

}  // namespace orvelle
