// The main of the end-to-end tests on an X server (skipped without Xvfb or xdotool).
#include "tests/support/e2e/desktop.h"

int main(int argc, char** argv) {
  return orvelle::e2e::RunDesktopTests(argc, argv, orvelle::e2e::SkipWithoutDesktopTools);
}
