#pragma once
// orvellectl doctor: for each frame the kernel sees, whether this user can
// open it, and if not why and what to do next.

#include <ostream>
#include <string>

#include "devlink/hid/device_access.h"

namespace orvelle::ctl {

struct DoctorSetup {
  AccessRoots roots;
  UserFacts user;
  OpenProbe tryOpen;
  std::string simFolder;

  // This machine, this user, the simulator folder every program uses.
  static DoctorSetup System();
};

// The report as text or one JSON document; 0 when every frame opens, 1 when
// one does not, 3 when there is none.
int RunDoctor(const DoctorSetup& setup, bool json, std::ostream& out, std::ostream& err);

}  // namespace orvelle::ctl
