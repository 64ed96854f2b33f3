#pragma once
// The command groups of orvellectl, each in its own file over the dispatcher.

#include "ctl/invocation.h"

namespace orvelle::ctl {

// The first word of the command line and the function that runs the group;
// one more group is one more line here.
#define ORVELLE_CTL_COMMAND_GROUPS(GROUP) \
  GROUP("list", RunList)                  \
  GROUP("info", RunInfo)                  \
  GROUP("config", RunConfig)              \
  GROUP("calibration", RunCalibration)    \
  GROUP("monitor", RunMonitor)            \
  ORVELLE_CTL_PLATFORM_GROUPS(GROUP)

// The doctor reads udev's rules and the hidraw nodes: Linux only.
#ifdef __linux__
#define ORVELLE_CTL_PLATFORM_GROUPS(GROUP) GROUP("doctor", RunDoctorCommand)
#else
#define ORVELLE_CTL_PLATFORM_GROUPS(GROUP)
#endif

#define ORVELLE_CTL_DECLARE_GROUP(name, function) int function(Invocation& run);
ORVELLE_CTL_COMMAND_GROUPS(ORVELLE_CTL_DECLARE_GROUP)
#undef ORVELLE_CTL_DECLARE_GROUP

}  // namespace orvelle::ctl
