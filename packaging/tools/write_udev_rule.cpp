// Writes the udev rule that lets users open the controllers' HID nodes, from
// the identities the programs accept, so the rule and the programs cannot
// drift apart.
//
//   orvelle-write-udev-rule <output file>

#include <cstdio>
#include <fstream>

#include "devlink/hid/device_access.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output file>\n", argv[0]);
    return 2;
  }
  std::ofstream out(argv[1], std::ios::trunc);
  out << "# Orvelle touch controllers. The user at the seat may open their HID nodes\n"
         "# (uaccess, granted by logind); members of the package's own group may too,\n"
         "# for logins that have no seat, such as an installer's over SSH.\n"
         "# Written by the build from the identities the programs accept. The match is\n"
         "# on the HID device's own name (bus:vendor:product.instance), which the\n"
         "# controller has however the kernel reaches it.\n";
  for (const orvelle::HidIdentity& id : orvelle::AcceptedIdentities()) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "SUBSYSTEM==\"hidraw\", KERNELS==\"0003:%04X:%04X.*\", "
                  "TAG+=\"uaccess\", MODE=\"0660\", GROUP=\"%s\"\n",
                  id.vendorId, id.productId, orvelle::kDeviceGroup);
    out << line;
  }
  out.flush();
  return out ? 0 : 1;
}
