#include "ctl/doctor.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "ctl/command_groups.h"
#include "ctl/commands.h"
#include "devlink/hid/sim_bus.h"
#include "platform/hex_text.h"

namespace orvelle::ctl {
namespace {

const char* CauseName(AccessCause cause) {
  switch (cause) {
    case AccessCause::Opens:
      return "opens";
    case AccessCause::NoRule:
      return "no-rule";
    case AccessCause::RuleWithoutFrame:
      return "rule-without-frame";
    case AccessCause::RuleNotApplied:
      return "rule-not-applied";
    case AccessCause::NotInGroup:
      return "not-in-group";
    case AccessCause::GroupNeedsLogin:
      return "group-needs-login";
    case AccessCause::OpenFailed:
      return "open-failed";
  }
  return "unknown";
}

std::string ModeText(unsigned mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", mode);
  return text;
}

Json FrameJson(const FrameAccess& f) {
  return {{"node", f.node},
          {"vendorId", Hex4(f.identity.vendorId)},
          {"productId", Hex4(f.identity.productId)},
          {"rule", f.rule},
          {"ruleGroup", f.ruleGroup},
          {"owner", f.owner},
          {"group", f.group},
          {"mode", ModeText(f.mode)},
          {"driver", f.driver},
          {"opens", f.cause == AccessCause::Opens},
          {"cause", CauseName(f.cause)},
          {"why", f.why},
          {"next", f.next}};
}

void PrintFrame(const FrameAccess& f, std::ostream& out) {
  out << f.node << "  " << Hex4(f.identity.vendorId) << ":" << Hex4(f.identity.productId) << "\n"
      << "  rule:    "
      << (f.rule.empty() ? "none installed"
                         : f.rule + (f.ruleGroup.empty() ? "" : " (group " + f.ruleGroup + ")"))
      << "\n";
  if (!f.owner.empty())
    out << "  node:    " << f.owner << ":" << f.group << " " << ModeText(f.mode) << "\n";
  out << "  driver:  " << (f.driver.empty() ? "none bound" : f.driver) << "\n";
  if (f.cause == AccessCause::Opens) {
    out << "  access:  this user can open it\n";
    return;
  }
  out << "  access:  this user cannot open it: " << f.why << "\n"
      << "  next:    " << f.next << "\n";
}

}  // namespace

DoctorSetup DoctorSetup::System() {
  return {AccessRoots{}, UserFacts::Current(), TryOpenNode, DefaultSimDir()};
}

int RunDoctor(const DoctorSetup& setup, bool json, std::ostream& out, std::ostream& err) {
  const std::vector<FrameAccess> frames =
      ExamineFrames(setup.roots, AcceptedIdentities(), setup.user, setup.tryOpen);
  const bool simulatorInUse = !MakeSimBus(setup.simFolder)->Enumerate().empty();
  bool allOpen = true;
  for (const FrameAccess& f : frames)
    allOpen = allOpen && f.cause == AccessCause::Opens;
  if (json) {
    Json list = Json::array();
    for (const FrameAccess& f : frames)
      list.push_back(FrameJson(f));
    out << Json{{"user", setup.user.name},
                {"atSeat", setup.user.atSeat},
                {"simulator", {{"folder", setup.simFolder}, {"inUse", simulatorInUse}}},
                {"frames", list}}
               .dump(2, ' ', false, Json::error_handler_t::replace)
        << "\n";
  } else {
    out << "user:      " << setup.user.name << (setup.user.atSeat ? " (at the seat)" : "")
        << "\nsimulator: " << (simulatorInUse ? "in use at " : "not in use (") << setup.simFolder
        << (simulatorInUse ? "; the programs take a real frame first\n" : ")\n");
    for (const FrameAccess& f : frames)
      PrintFrame(f, out);
  }
  if (frames.empty()) {
    err << "orvellectl: the kernel shows no touch frame: no hidraw node has an accepted "
           "identity; check the USB cable and `lsusb`\n";
    return kExitNoController;
  }
  return allOpen ? kExitDone : kExitFailed;
}

int RunDoctorCommand(Invocation& run) {
  return RunDoctor(DoctorSetup::System(), run.Given().json, run.Out(), run.Err());
}

}  // namespace orvelle::ctl
