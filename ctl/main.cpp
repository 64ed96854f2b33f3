// orvellectl: the touch controller from the command line.
#include <string>
#include <vector>

#include "ctl/commands.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return orvelle::ctl::RunCtl(args, orvelle::ctl::SystemContext());
}
