// The main of the end-to-end tests on an X server: running needs Xvfb and
// xdotool, and is skipped (77) without them.
#include "tests/support/e2e/desktop.h"

int main(int argc, char** argv) {
  return orvelle::e2e::RunDesktopTests(argc, argv, orvelle::e2e::SkipWithoutDesktopTools);
}
