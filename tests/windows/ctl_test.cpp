// The tool's Windows seams on the system itself: which input files are read
// and refused, and that without a controller orvellectl says so with status 3.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include "ctl/commands.h"
#include "platform/input_file.h"
#include "tests/support/temp_folder.h"

namespace orvelle::ctl {
namespace {

TEST(WindowsInputFile, OnlyARegularFileIsRead) {
  const orvelle::testing::TempFolder folder;
  { std::ofstream(folder.File("frame.json")) << "0123456789"; }
  const std::pair<std::string, std::optional<InputFileFault>> cases[] = {
      {folder.File("frame.json"), std::nullopt},
      {folder.File("missing.json"), InputFileFault::CannotRead},
      {folder.Path(), InputFileFault::NotAFile},  // a folder
      {"NUL", InputFileFault::NotAFile},          // a device
  };
  for (const auto& [path, fault] : cases) {
    InputFileError error{};
    const auto content = ReadInputFile(path, 4, error);
    EXPECT_EQ(content ? std::nullopt : std::optional(error.fault), fault) << path;
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
