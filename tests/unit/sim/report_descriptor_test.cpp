#include <gtest/gtest.h>

#include "devlink/hid/descriptor.h"
#include "sim/report_descriptor.h"

namespace orvelle {
namespace {

// Which collection each program takes is seen through the links, in the
// simulator's component tests.
TEST(SimReportDescriptor, FrameCollectionsCarryTheirReportIds) {
  const auto parsed = ParseReportDescriptor(ControllerReportDescriptor(4));
  ASSERT_TRUE(parsed.has_value());
  ASSERT_EQ(parsed->collections.size(), 6u);
  EXPECT_EQ(parsed->collections[0].usagePage, 0x0D);
  EXPECT_EQ(parsed->collections[0].inputReportIds, (std::vector<uint8_t>{kDigitizerReportId}));
  EXPECT_GT(parsed->collections[0].featureLength, 0);  // contact count maximum
  EXPECT_EQ(parsed->collections[4].inputReportIds, (std::vector<uint8_t>{6}));
  EXPECT_EQ(parsed->collections[5].inputReportIds, (std::vector<uint8_t>{7}));
}

}  // namespace
}  // namespace orvelle
