// Feeds arbitrary bytes to the descriptor parser and, when they parse, feeds
// the same bytes as a node report through every collection's filter.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "devlink/hid/descriptor.h"
#include "devlink/hid/tlc_reports.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckCollection(const orvelle::TopLevelCollection& c) {
  Check(std::is_sorted(c.reportIds.begin(), c.reportIds.end()));
  Check(std::includes(c.reportIds.begin(), c.reportIds.end(), c.inputReportIds.begin(),
                      c.inputReportIds.end()));
  Check(c.inputReportIds.empty() == (c.inputLength == 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  const auto parsed = orvelle::ParseReportDescriptor(input);
  if (!parsed) return 0;
  for (size_t i = 0; i < parsed->collections.size(); ++i) {
    CheckCollection(parsed->collections[i]);
    const auto filter = orvelle::TlcReportFilter::For(*parsed, i);
    // One buffer shorter than most reports, one of the exact length, so the
    // sanitizer sees any write past either.
    std::array<uint8_t, 16> small{};
    Check(filter.Deliver(input, small) <= small.size());
    std::vector<uint8_t> exact(filter.inputLength);
    const size_t n = filter.Deliver(input, exact);
    Check(n == 0 || n == filter.inputLength);
  }
  return 0;
}
