#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

namespace orvelle {
namespace {

// The first start hears every later one; a socket left by one that ended
// without closing it is taken over; a folder others may write in is not used.
TEST(SingleInstance, TheFirstStartHearsLaterOnesInAFolderOfTheUsersOwn) {
  const testing::TempFolder folder;
  ASSERT_EQ(chmod(folder.Path().c_str(), 0700), 0);
  const std::string left = folder.File("Console-.socket");
  sockaddr_un address{.sun_family = AF_UNIX};
  std::strcpy(address.sun_path, left.c_str());
  const int crashed = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(bind(crashed, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(crashed);

  setenv("DISPLAY", "", 1);
  unsetenv("WAYLAND_DISPLAY");
  SingleInstance first("Console", folder.Path()), second("Console", folder.Path());
  EXPECT_FALSE(second.TellRunning()) << "the left socket answers nobody";
  std::atomic<int> told{0};
  ASSERT_TRUE(first.Claim([&] { ++told; }));
  EXPECT_FALSE(second.Claim([] {}));
  EXPECT_TRUE(second.TellRunning());
  EXPECT_TRUE(testing::WaitUntil([&] { return told.load() == 1; }));

  ASSERT_EQ(chmod(folder.Path().c_str(), 0770), 0);
  SingleInstance elsewhere("Other", folder.Path());
  EXPECT_FALSE(elsewhere.Claim([] {}));
  ASSERT_EQ(chmod(folder.Path().c_str(), 0700), 0);
}

}  // namespace
}  // namespace orvelle
