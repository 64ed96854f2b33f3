// The main of the tests under a weston of their own (see SkipWithoutWeston).
#include "tests/support/e2e/desktop.h"
#include "tests/support/e2e/weston.h"

int main(int argc, char** argv) {
  return orvelle::e2e::RunDesktopTests(argc, argv, orvelle::e2e::SkipWithoutWeston);
}
