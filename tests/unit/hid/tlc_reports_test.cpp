#include "devlink/hid/tlc_reports.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace orvelle {
namespace {

using Bytes = std::vector<uint8_t>;

ParsedDescriptor TwoCollections(bool usesReportIds) {
  ParsedDescriptor d;
  d.usesReportIds = usesReportIds;
  TopLevelCollection first;
  first.inputReportIds = usesReportIds ? Bytes{3, 5} : Bytes{0};
  first.inputLength = 8;
  TopLevelCollection outputOnly;
  outputOnly.outputLength = 4;
  d.collections = {first, outputOnly};
  return d;
}

Bytes Deliver(const TlcReportFilter& filter, const Bytes& raw, size_t outSize = 64) {
  Bytes out(outSize, 0xEE);
  out.resize(filter.Deliver(raw, out));
  return out;
}

// A device without report IDs gets a zero put before each report.
TEST(TlcReportFilter, DeliversItsOwnReportsPaddedToTheInputLength) {
  const auto filter = TlcReportFilter::For(TwoCollections(true), 0);
  EXPECT_EQ(Deliver(filter, {3, 0xA1, 0xA2}), (Bytes{3, 0xA1, 0xA2, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Deliver(filter, {5, 1, 2, 3, 4, 5, 6, 7, 8, 9}), (Bytes{5, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_TRUE(Deliver(filter, {4, 1, 2}).empty());
  EXPECT_TRUE(Deliver(filter, {}).empty());
  const auto noIds = TlcReportFilter::For(TwoCollections(false), 0);
  EXPECT_EQ(Deliver(noIds, {3, 4}), (Bytes{0, 3, 4, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Deliver(noIds, {1, 2, 3, 4, 5, 6, 7, 8, 9}), (Bytes{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_TRUE(Deliver(TlcReportFilter::For(TwoCollections(true), 1), {3, 1}).empty());
  EXPECT_TRUE(Deliver(TlcReportFilter::For(TwoCollections(true), 7), {3, 1}).empty());
}

TEST(TlcReportFilter, NeverWritesPastTheOutputSpan) {
  for (const bool ids : {true, false}) {
    const auto filter = TlcReportFilter::For(TwoCollections(ids), 0);
    std::array<uint8_t, 8> buffer;
    buffer.fill(0xEE);
    const Bytes raw = {3, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(filter.Deliver(raw, std::span(buffer).first(3)), 3u);
    EXPECT_EQ(buffer[3], 0xEE);
    EXPECT_EQ(buffer[7], 0xEE);
    EXPECT_EQ(filter.Deliver(raw, std::span(buffer).first(0)), 0u);
  }
}

TEST(CollectionPath, NumbersCollectionsFromOneAndSplitsBack) {
  EXPECT_EQ(CollectionPath("/dev/hidraw3", 0), "/dev/hidraw3#col01");
  EXPECT_EQ(CollectionPath("/dev/hidraw3", 11), "/dev/hidraw3#col12");
  std::string node;
  size_t index = 99;
  ASSERT_TRUE(SplitCollectionPath("/tmp/a#col02/hidraw0#col06", node, index));
  EXPECT_EQ(node, "/tmp/a#col02/hidraw0");
  EXPECT_EQ(index, 5u);
  for (const char* bad : {"/dev/hidraw3", "/dev/hidraw3#col", "/dev/hidraw3#col00",
                          "/dev/hidraw3#col1x", "/dev/hidraw3#col99999999999999999999999"}) {
    EXPECT_FALSE(SplitCollectionPath(bad, node, index)) << bad;
  }
}

}  // namespace
}  // namespace orvelle
