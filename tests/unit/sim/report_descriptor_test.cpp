#include <gtest/gtest.h>

#include "devlink/hid/descriptor.h"
#include "sim/report_descriptor.h"

namespace orvelle {
namespace {

// The vendor collections are seen through the links in the component tests.
TEST(SimReportDescriptor, TouchCollectionIsADigitizer) {
  const auto parsed = ParseReportDescriptor(ControllerReportDescriptor(4));
  ASSERT_TRUE(parsed.has_value());
  ASSERT_EQ(parsed->collections.size(), 6u);
  EXPECT_EQ(parsed->collections[0].usagePage, 0x0D);
  EXPECT_EQ(parsed->collections[0].inputReportIds, (std::vector<uint8_t>{kDigitizerReportId}));
  EXPECT_GT(parsed->collections[0].featureLength, 0);  // contact count maximum
}

}  // namespace
}  // namespace orvelle
