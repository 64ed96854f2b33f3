#include "devlink/hid/descriptor.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

namespace orvelle {
namespace {

using Bytes = std::vector<uint8_t>;
using nlohmann::json;

Bytes FromHex(const std::string& hex) {
  Bytes out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

// A collection's fields, comparable and printable at once.
auto Fields(const TopLevelCollection& c) {
  return std::tuple(c.usagePage, c.usage, c.reportIds, c.inputReportIds, c.inputLength,
                    c.outputLength, c.featureLength);
}

uint16_t Hex16(const json& text) {
  return static_cast<uint16_t>(std::stoul(text.get<std::string>(), nullptr, 16));
}

// Every file given at configure time must be there: a descriptor test that
// skips for want of data would pass without checking anything.
TEST(ParseReportDescriptor, MatchesTheCapabilitiesOfRealDescriptors) {
  for (const std::string file : {ORVELLE_DESCRIPTOR_FILES}) {
    SCOPED_TRACE(file);
    std::ifstream in(file);
    ASSERT_TRUE(in) << "test data missing";
    const json data = json::parse(in);
    const auto& entries = data.at("descriptors");
    ASSERT_FALSE(entries.empty());
    for (const auto& entry : entries) {
      SCOPED_TRACE(entry.at("name").get<std::string>());
      const auto parsed = ParseReportDescriptor(FromHex(entry.at("descriptor_hex")));
      ASSERT_TRUE(parsed);
      EXPECT_EQ(parsed->usesReportIds, entry.at("uses_report_ids").get<bool>());
      const auto& expected = entry.at("top_level_collections");
      ASSERT_EQ(parsed->collections.size(), expected.size());
      for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("collection " + std::to_string(i));
        const auto& c = parsed->collections[i];
        const auto& e = expected[i];
        EXPECT_EQ(
            std::tuple(c.usagePage, c.usage, c.reportIds, c.inputLength, c.outputLength,
                       c.featureLength),
            std::tuple(Hex16(e.at("usage_page")), Hex16(e.at("usage")),
                       e.at("report_ids").get<std::vector<uint8_t>>(),
                       e.at("input_length").get<uint16_t>(), e.at("output_length").get<uint16_t>(),
                       e.at("feature_length").get<uint16_t>()));
      }
    }
  }
}

TEST(ParseReportDescriptor, GlobalsPersistAcrossCollectionsAndPushPopRestoresThem) {
  const Bytes d = {
      // Vendor page, usage 1, application: ID 3, size 8, count 4, 4 input bytes.
      0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x75, 0x08, 0x95, 0x04, 0x81, 0x02,
      // Push, count 63, ID 4, output; pop back to ID 3 and count 4, feature; end.
      0xA4, 0x95, 0x3F, 0x85, 0x04, 0x91, 0x02, 0xB4, 0xB1, 0x02, 0xC0,
      // Usage 000D:0002 (the page in its upper half), collection, ID 5, input with size 8 and
      // count 4 still in force, 3 bits of padding rounded up with the rest; end.
      0x0B, 0x02, 0x00, 0x0D, 0x00, 0xA1, 0x01, 0x85, 0x05, 0x81, 0x03, 0x75, 0x01, 0x95, 0x03,
      0x81, 0x03, 0xC0};
  const auto parsed = ParseReportDescriptor(d);
  ASSERT_TRUE(parsed);
  EXPECT_TRUE(parsed->usesReportIds);
  ASSERT_EQ(parsed->collections.size(), 2u);
  EXPECT_EQ(Fields(parsed->collections[0]), Fields({0xFF00, 1, {3, 4}, {3}, 5, 64, 5}));
  EXPECT_EQ(Fields(parsed->collections[1]), Fields({0x000D, 2, {5}, {5}, 6, 0, 0}));
}

TEST(ParseReportDescriptor, SkipsLongItemsWhole) {
  // The long item's data looks like a Collection; it must not open one.
  const Bytes d = {0x05, 0x01, 0x09, 0x02, 0xFE, 0x02, 0x10, 0xA1, 0x01,
                   0xA1, 0x01, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xC0};
  const auto parsed = ParseReportDescriptor(d);
  ASSERT_TRUE(parsed);
  EXPECT_FALSE(parsed->usesReportIds);
  ASSERT_EQ(parsed->collections.size(), 1u);
  EXPECT_EQ(Fields(parsed->collections[0]), Fields({0x0001, 2, {0}, {0}, 3, 0, 0}));
}

TEST(ParseReportDescriptor, AcceptsTheLargestReportAndNothingLarger) {
  // 8 bits x 4095 plus one report ID byte: the limit of 4096 bytes of data.
  Bytes d = {0xA1, 0x01, 0x75, 0x08, 0x96, 0xFF, 0x0F, 0x81, 0x02};
  Bytes atLimit = d;
  atLimit.insert(atLimit.end(), {0x95, 0x01, 0x81, 0x02, 0xC0});
  const auto parsed = ParseReportDescriptor(atLimit);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->collections[0].inputLength, 4097);
  d.insert(d.end(), {0x75, 0x09, 0x95, 0x01, 0x81, 0x02, 0xC0});
  EXPECT_FALSE(ParseReportDescriptor(d));
}

TEST(ParseReportDescriptor, RejectsMalformedDescriptors) {
  Bytes deep;
  for (int i = 0; i < 33; ++i)
    deep.insert(deep.end(), {0xA1, 0x00});
  for (int i = 0; i < 33; ++i)
    deep.push_back(0xC0);
  Bytes pushes = {0xA1, 0x01};
  for (int i = 0; i < 17; ++i)
    pushes.push_back(0xA4);
  pushes.push_back(0xC0);
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"truncated short item", {0xA1, 0x01, 0x26, 0xFF}},
      {"truncated four-byte item", {0xA1, 0x01, 0x27, 0xFF, 0xFF, 0x00}},
      {"truncated long item header", {0xA1, 0x01, 0xC0, 0xFE, 0x04}},
      {"truncated long item data", {0xA1, 0x01, 0xC0, 0xFE, 0x04, 0x10, 0x00, 0x00}},
      {"end collection without collection", {0xA1, 0x01, 0xC0, 0xC0}},
      {"collection left open", {0xA1, 0x01, 0xA1, 0x00, 0xC0}},
      {"nesting too deep", deep},
      {"pop without push", {0xA1, 0x01, 0xB4, 0xC0}},
      {"push stack too deep", pushes},
      {"absurd size times count",
       {0xA1, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02, 0xC0}},
      {"report id 0", {0xA1, 0x01, 0x85, 0x00, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0}},
      {"report id over one byte", {0xA1, 0x01, 0x86, 0x01, 0x01, 0xC0}},
      {"main item outside collections", {0x75, 0x08, 0x95, 0x01, 0x81, 0x02}},
      {"unnumbered report beside numbered ones",
       {0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0x85, 0x01, 0x81, 0x02, 0xC0}},
  };
  for (const auto& [name, bytes] : cases) {
    EXPECT_FALSE(ParseReportDescriptor(bytes)) << name;
  }
}

}  // namespace
}  // namespace orvelle
