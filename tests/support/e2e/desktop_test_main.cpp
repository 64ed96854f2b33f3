// The main of the end-to-end tests on an X server: listing works everywhere;
// running needs Xvfb and xdotool, and is skipped (77) without them.
#include <gtest/gtest.h>

#include "tests/support/e2e/desktop.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!::testing::GTEST_FLAG(list_tests)) {
    if (const int skip = orvelle::e2e::SkipWithoutDesktopTools()) return skip;
  }
  return RUN_ALL_TESTS();
}
