#include <gtest/gtest.h>

#include "devlink/hid/descriptor.h"
#include "devlink/link_profile.h"
#include "sim/report_descriptor.h"

namespace orvelle {
namespace {

// The descriptor goes through the parser that serves hidraw, and every one of
// its six collections lands in its own row of the program's channel table.
TEST(SimReportDescriptor, ParsesIntoTheChannelTableOfEachVariant) {
  for (uint8_t vendorOutput : {4, 8}) {
    SCOPED_TRACE(int{vendorOutput});
    const auto parsed = ParseReportDescriptor(ControllerReportDescriptor(vendorOutput));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_TRUE(parsed->usesReportIds);
    ASSERT_EQ(parsed->collections.size(), 6u);
    const ChannelTable table = MakeChannelTable(vendorOutput);
    for (size_t i = 0; i < 6; ++i) {
      const TopLevelCollection& c = parsed->collections[i];
      EXPECT_EQ(FindChannel(table, c.inputLength, c.outputLength), static_cast<int>(i))
          << "collection " << i << ": " << c.inputLength << "/" << c.outputLength;
    }
    // A console (64, 8) table finds no vendor row in a (64, 4) controller.
    const ChannelTable other = MakeChannelTable(vendorOutput == 4 ? 8 : 4);
    EXPECT_EQ(
        FindChannel(other, parsed->collections[3].inputLength, parsed->collections[3].outputLength),
        -1);
  }
}

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
