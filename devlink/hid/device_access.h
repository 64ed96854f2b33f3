#pragma once
// Why this user can or cannot open a controller's hidraw node: the device
// rule, the node's owner, group and mode, the seat and the group, the kernel
// driver, and the one thing to do next. Read from given roots, so that a fake
// sysfs and /dev test every cause.

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "devlink/hid/hidraw_bus.h"
#include "devlink/hid/hidraw_sysfs.h"

namespace orvelle {

// The system group that the package makes and the rule grants the nodes to,
// for logins without a seat (an installer's over SSH).
inline constexpr const char* kDeviceGroup = "orvelle";
inline constexpr const char* kRuleFileName = "70-orvelle-touch.rules";

struct AccessRoots {
  HidrawRoots hidraw;
  // udev's rule folders, the one that wins first.
  std::vector<std::string> ruleFolders = {"/etc/udev/rules.d", "/run/udev/rules.d",
                                          "/usr/local/lib/udev/rules.d", "/usr/lib/udev/rules.d",
                                          "/lib/udev/rules.d"};
};

// Who asks, and what the system knows of them.
struct UserFacts {
  uid_t uid = 0;
  std::string name;
  std::vector<std::string> sessionGroups;   // the groups this login has now
  std::vector<std::string> databaseGroups;  // the groups the user is in; new ones need a login
  bool atSeat = false;                      // a local login, to which uaccess grants access

  static UserFacts Current();
};

enum class AccessCause {
  Opens,
  NoRule,            // no device rule: the node is root's alone
  RuleWithoutFrame,  // a rule of an older version that does not name this frame
  RuleNotApplied,    // the rule names the frame, but the node was set up before it
  NotInGroup,        // not at the seat, and not in the rule's group
  GroupNeedsLogin,   // in the group since this login began
  OpenFailed,        // the permissions allow it, and the open failed all the same
};

struct FrameAccess {
  std::string node;  // "/dev/hidraw3"
  HidIdentity identity;
  std::string rule;       // the rule file that udev uses, empty when none
  std::string ruleGroup;  // the group it grants this frame, empty when it names none
  std::string owner, group;
  unsigned mode = 0;
  std::string driver;  // the kernel driver bound to the HID device
  int openError = 0;   // errno of the open, 0 when it opened
  AccessCause cause = AccessCause::Opens;
  std::string why;   // one sentence, empty when it opens
  std::string next;  // the one thing to do, empty when it opens
};

// The identities the programs accept, which the device rule names.
std::vector<HidIdentity> AcceptedIdentities();

using OpenProbe = std::function<int(const std::string& node)>;
// Opens the node for reading and writing, and closes it again: 0 or errno.
int TryOpenNode(const std::string& node);

// Every hidraw node whose identity is one of `accepted`, in node order.
std::vector<FrameAccess> ExamineFrames(const AccessRoots& roots,
                                       const std::vector<HidIdentity>& accepted,
                                       const UserFacts& user, const OpenProbe& tryOpen);

}  // namespace orvelle
