#include "devlink/hid/device_access.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "devlink/link_profile.h"

namespace orvelle {
namespace {

// Rule files and uevent texts are a few KiB; more is not one of them.
constexpr std::streamsize kMaxTextBytes = 1 << 20;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text(static_cast<size_t>(kMaxTextBytes), '\0');
  in.read(text.data(), kMaxTextBytes);
  text.resize(static_cast<size_t>(in.gcount()));
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// The value of "KEY=value" in a uevent text.
std::string UeventValue(const std::string& uevent, const std::string& key) {
  for (const std::string& line : Lines(uevent))
    if (line.starts_with(key + "=")) return line.substr(key.size() + 1);
  return {};
}

std::string IdentityText(const HidIdentity& id) {
  char text[16];
  std::snprintf(text, sizeof text, "%04x:%04x", id.vendorId, id.productId);
  return text;
}

struct RuleFacts {
  std::string path;
  bool namesFrame = false;
  std::string group;
};

// udev reads a file name once, from the first folder that has it.
RuleFacts FindRule(const AccessRoots& roots, const HidIdentity& id) {
  char match[64];
  std::snprintf(match, sizeof match, "KERNELS==\"0003:%04X:%04X.", id.vendorId, id.productId);
  for (const std::string& folder : roots.ruleFolders) {
    const std::string path = folder + "/" + kRuleFileName;
    if (::access(path.c_str(), F_OK) != 0) continue;
    RuleFacts rule{path};
    for (const std::string& line : Lines(ReadText(path))) {
      if (line.starts_with("#") || line.find(match) == std::string::npos) continue;
      rule.namesFrame = true;
      if (const size_t at = line.find("GROUP=\""); at != std::string::npos) {
        const size_t start = at + 7;
        rule.group = line.substr(start, line.find('"', start) - start);
      }
    }
    return rule;
  }
  return {};
}

std::string UserName(uid_t uid) {
  const passwd* entry = ::getpwuid(uid);
  return entry ? entry->pw_name : std::to_string(uid);
}

std::string GroupName(gid_t gid) {
  const group* entry = ::getgrgid(gid);
  return entry ? entry->gr_name : std::to_string(gid);
}

bool Has(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

void Explain(FrameAccess& f, const RuleFacts& rule, const UserFacts& user) {
  const std::string trigger =
      "sudo udevadm trigger --subsystem-match=hidraw --action=change (or replug the frame)";
  const auto set = [&](AccessCause cause, std::string why, std::string next) {
    f.cause = cause;
    f.why = std::move(why);
    f.next = std::move(next);
  };
  if (f.openError == 0) return set(AccessCause::Opens, "", "");
  const std::string failed = std::string("opening it fails: ") + std::strerror(f.openError);
  if (f.openError != EACCES && f.openError != EPERM) {
    return set(AccessCause::OpenFailed, failed,
               "replug the frame; if that does not help, look at the kernel's log (sudo dmesg)");
  }
  if (rule.path.empty()) {
    return set(AccessCause::NoRule, "no device rule is installed, so the node is root's alone",
               "install the orvelle package (or copy " + std::string(kRuleFileName) +
                   " into /etc/udev/rules.d), then replug the frame");
  }
  if (!rule.namesFrame || rule.group.empty()) {
    return set(AccessCause::RuleWithoutFrame,
               "the device rule " + rule.path + " is of another version and does not grant " +
                   IdentityText(f.identity) + " to a group",
               "install the current orvelle package, then replug the frame");
  }
  if (f.group != rule.group) {
    return set(AccessCause::RuleNotApplied,
               "the node belongs to group " + f.group + ", not to " + rule.group +
                   ": it was set up before the rule was installed",
               trigger);
  }
  const bool groupMayOpen = (f.mode & 060) == 060;
  if (Has(user.sessionGroups, rule.group) && groupMayOpen)
    return set(AccessCause::OpenFailed, failed, "replug the frame");
  if (Has(user.databaseGroups, rule.group)) {
    return set(AccessCause::GroupNeedsLogin,
               "you were added to group " + rule.group + " after this login began",
               "log out and in again");
  }
  if (user.atSeat) {
    return set(AccessCause::RuleNotApplied,
               "you are at the seat, but the node does not grant the seat access yet", trigger);
  }
  set(AccessCause::NotInGroup,
      "you are not at the machine's seat (only the user logged in there gets access) and not "
      "in group " +
          rule.group,
      "sudo adduser " + user.name + " " + rule.group + ", then log in again");
}

}  // namespace

UserFacts UserFacts::Current() {
  UserFacts user;
  user.uid = ::geteuid();
  user.name = UserName(user.uid);
  const int count = ::getgroups(0, nullptr);
  std::vector<gid_t> gids(static_cast<size_t>(std::max(count, 0)));
  gids.resize(static_cast<size_t>(std::max(::getgroups(count, gids.data()), 0)));
  gids.push_back(::getegid());
  for (gid_t gid : gids)
    user.sessionGroups.push_back(GroupName(gid));
  if (const passwd* entry = ::getpwuid(user.uid)) {
    int n = 64;
    std::vector<gid_t> all(static_cast<size_t>(n));
    if (::getgrouplist(entry->pw_name, entry->pw_gid, all.data(), &n) < 0) {
      all.resize(static_cast<size_t>(n));
      ::getgrouplist(entry->pw_name, entry->pw_gid, all.data(), &n);
    }
    all.resize(static_cast<size_t>(std::max(n, 0)));
    for (gid_t gid : all)
      user.databaseGroups.push_back(GroupName(gid));
  }
  // pam_systemd names the seat of a local login, and only of one.
  const char* seat = std::getenv("XDG_SEAT");
  user.atSeat = seat && *seat;
  return user;
}

std::vector<HidIdentity> AcceptedIdentities() {
  std::set<HidIdentity> identities;
  for (const LinkProfile& profile :
       {LinkProfile::Console(), LinkProfile::Calibration(), LinkProfile::Factory()}) {
    identities.insert(profile.identities.begin(), profile.identities.end());
  }
  return {identities.begin(), identities.end()};
}

int TryOpenNode(const std::string& node) {
  const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

std::vector<FrameAccess> ExamineFrames(const AccessRoots& roots,
                                       const std::vector<HidIdentity>& accepted,
                                       const UserFacts& user, const OpenProbe& tryOpen) {
  std::vector<FrameAccess> frames;
  for (const std::string& name : ListHidrawNodes(roots.hidraw.sysfs)) {
    const std::string uevent =
        ReadText(roots.hidraw.sysfs + "/class/hidraw/" + name + "/device/uevent");
    const auto id = ParseHidUevent(uevent);
    if (!id || std::none_of(accepted.begin(), accepted.end(), [&](const HidIdentity& a) {
          return a.vendorId == id->vendorId && a.productId == id->productId;
        })) {
      continue;
    }
    FrameAccess& f = frames.emplace_back();
    f.node = roots.hidraw.dev + "/" + name;
    f.identity = *id;
    f.driver = UeventValue(uevent, "DRIVER");
    const RuleFacts rule = FindRule(roots, *id);
    f.rule = rule.path;
    f.ruleGroup = rule.group;
    struct stat st {};
    if (::stat(f.node.c_str(), &st) == 0) {
      f.owner = UserName(st.st_uid);
      f.group = GroupName(st.st_gid);
      f.mode = st.st_mode & 07777;
      f.openError = tryOpen(f.node);
    } else {
      f.openError = errno;
    }
    Explain(f, rule, user);
  }
  return frames;
}

}  // namespace orvelle
