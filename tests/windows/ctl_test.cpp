// orvellectl's Windows seams on the system itself: which input files it reads
// and refuses, and that without a controller it says so with status 3.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "ctl/commands.h"
#include "ctl/input_file.h"
#include "tests/support/temp_folder.h"

namespace orvelle::ctl {
namespace {

TEST(WindowsCtl, OnlyARegularFileIsReadAsInput) {
  const orvelle::testing::TempFolder folder;
  { std::ofstream(folder.File("frame.json")) << "0123456789"; }
  struct Case {
    std::string path;
    int status;  // 0: read
  };
  const Case cases[] = {
      {folder.File("frame.json"), 0},
      {folder.File("missing.json"), kExitFailed},
      {folder.Path(), kExitUsage},  // a folder
      {"NUL", kExitUsage},          // a device
  };
  for (const Case& c : cases) {
    InputFileError error{};
    const auto content = ReadInputFile(c.path, 4, error);
    EXPECT_EQ(content ? 0 : error.status, c.status) << c.path << ": " << error.text;
    if (content) {
      EXPECT_EQ(content->bytes, "0123");
      EXPECT_TRUE(content->truncated);
    }
  }
}

// Wine has no HID class device: the system's own bus finds nothing.
TEST(WindowsCtl, ListWithoutAControllerEndsWithThree) {
  std::ostringstream out, err;
  CtlContext context = SystemContext();
  context.out = &out;
  context.err = &err;
  const std::string args[] = {"list"};
  EXPECT_EQ(RunCtl(args, context), kExitNoController) << err.str();
  EXPECT_EQ(err.str(), "orvellectl: no controller found\n");
}

}  // namespace
}  // namespace orvelle::ctl
