// orvellectl doctor over a fake sysfs, /dev and udev rule folders: each cause
// of a frame that does not open, told apart, with its next step and status.
#include "ctl/doctor.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "ctl/commands.h"
#include "tests/support/sysfs_tree.h"
#include "tests/support/temp_folder.h"

namespace orvelle {
namespace {

namespace fs = std::filesystem;

// The fake nodes' group is the test's own, which a rule may grant.
std::string OwnGroup() {
  const group* entry = ::getgrgid(::getegid());
  return entry ? entry->gr_name : std::to_string(::getegid());
}

// Puts a rule for product `product` granting `group` into `folder`.
void PutRule(const std::string& folder, const std::string& product, const std::string& group) {
  fs::create_directories(folder);
  std::ofstream(folder + "/70-orvelle-touch.rules")
      << "# a comment\nSUBSYSTEM==\"hidraw\", KERNELS==\"0003:2A5C:" << product
      << ".*\", TAG+=\"uaccess\", MODE=\"0660\", GROUP=\"" << group << "\"\n";
}

TEST(Doctor, EachCauseIsToldApartWithTheOneThingToDoNext) {
  const std::string own = OwnGroup();
  using Arrange = std::function<void(const std::string& etc, const std::string& usr, UserFacts&)>;
  const auto rule = [](std::string group, std::function<void(UserFacts&)> user = {}) {
    return [=](const std::string&, const std::string& usr, UserFacts& u) {
      PutRule(usr, "0013", group);
      if (user) user(u);
    };
  };
  // The arrangement, the open's errno, the cause and part of the next step.
  const std::tuple<const char*, Arrange, int, std::string, std::string> cases[] = {
      {"opens", rule(own), 0, "opens", ""},
      {"no rule", [](auto&, auto&, auto&) {}, EACCES, "no-rule", "install the orvelle package"},
      // The older rule in /etc hides the current one from udev.
      {"older rule first",
       [&](const std::string& etc, const std::string& usr, UserFacts&) {
         PutRule(etc, "0099", own);
         PutRule(usr, "0013", own);
       },
       EACCES, "rule-without-frame", "install the current orvelle package"},
      {"rule after the plug-in", rule("orvelle-other"), EACCES, "rule-not-applied",
       "udevadm trigger --subsystem-match=hidraw"},
      {"not in the group", rule(own), EACCES, "not-in-group",
       "sudo adduser ann " + own + ", then log in again"},
      {"added since the login", rule(own, [&](UserFacts& u) { u.databaseGroups = {own}; }), EACCES,
       "group-needs-login", "log out and in again"},
      {"at the seat without access", rule(own, [](UserFacts& u) { u.atSeat = true; }), EACCES,
       "rule-not-applied", "udevadm trigger"},
      {"gone while asked", rule(own), ENODEV, "open-failed", "replug the frame"},
  };
  for (const auto& [name, arrange, error, cause, next] : cases) {
    SCOPED_TRACE(name);
    testing::TempFolder temp;
    const std::string root = temp.Path();
    ctl::DoctorSetup setup{.roots = {.hidraw = {root + "/sys", root + "/dev"},
                                     .ruleFolders = {root + "/etc", root + "/usr"}},
                           .user = {.uid = 1000, .name = "ann"},
                           .tryOpen = [error = error](const std::string&) { return error; },
                           .simFolder = root + "/sim"};
    arrange(root + "/etc", root + "/usr", setup.user);
    testing::AddHidrawNode(setup.roots.hidraw, "hidraw2", testing::kControllerUevent, {});
    testing::AddHidrawNode(setup.roots.hidraw, "hidraw1", "HID_ID=0003:0000046D:0000C52B\n", {});
    fs::create_directories(root + "/dev");
    std::ofstream(root + "/dev/hidraw2");
    fs::permissions(root + "/dev/hidraw2", fs::perms(0660));

    std::ostringstream out, err;
    const int status = ctl::RunDoctor(setup, true, out, err);
    EXPECT_EQ(status, cause == "opens" ? ctl::kExitDone : ctl::kExitFailed);
    const auto frames = nlohmann::json::parse(out.str())["frames"];
    ASSERT_EQ(frames.size(), 1u);  // the keyboard at hidraw1 is no frame
    EXPECT_EQ(frames[0]["node"], root + "/dev/hidraw2");
    EXPECT_EQ(frames[0]["driver"], "hid-generic");
    EXPECT_EQ(frames[0]["group"], own);
    EXPECT_EQ(frames[0]["mode"], "0660");
    EXPECT_EQ(frames[0]["opens"], cause == "opens");
    EXPECT_EQ(frames[0]["cause"], cause) << frames[0]["why"];
    EXPECT_NE(frames[0]["next"].get<std::string>().find(next), std::string::npos)
        << frames[0]["next"];
    // Without the frame the kernel shows none.
    fs::remove_all(root + "/sys/class/hidraw/hidraw2");
    EXPECT_EQ(ctl::RunDoctor(setup, false, out, err), ctl::kExitNoController);
  }
}

}  // namespace
}  // namespace orvelle
