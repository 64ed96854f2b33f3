// orvellectl doctor over a fake sysfs, /dev and udev rule folders: each cause
// of a frame that does not open, told apart and answered with its next step.
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

// The group the fake nodes have: the test's own, which a rule may grant.
std::string OwnGroup() {
  const group* entry = ::getgrgid(::getegid());
  return entry ? entry->gr_name : std::to_string(::getegid());
}

std::string RuleFor(const std::string& product, const std::string& group) {
  return "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"2a5c\", ATTRS{idProduct}==\"" + product +
         "\", TAG+=\"uaccess\", MODE=\"0660\", GROUP=\"" + group + "\"\n";
}

// Public: the cases' arrangements work on the fixture.
class DoctorTest : public ::testing::Test {
 public:
  DoctorTest() {
    fs::create_directories(setup_.roots.hidraw.dev);
    setup_.roots.ruleFolders = {root_ + "/etc", root_ + "/usr"};
    for (const std::string& folder : setup_.roots.ruleFolders)
      fs::create_directories(folder);
    setup_.user = {.uid = 1000, .name = "ann"};
    setup_.simFolder = root_ + "/sim";
  }

  void AddFrame(const std::string& name) {
    testing::AddHidrawNode(setup_.roots.hidraw, name, testing::kControllerUevent, std::nullopt);
    std::ofstream(setup_.roots.hidraw.dev + "/" + name);
    fs::permissions(setup_.roots.hidraw.dev + "/" + name, fs::perms(0660));
  }
  void PutRule(const std::string& folder, const std::string& text) {
    std::ofstream(root_ + "/" + folder + "/70-orvelle-touch.rules") << "# a comment\n" << text;
  }

  testing::TempFolder folder_;
  const std::string root_ = folder_.Path();
  ctl::DoctorSetup setup_{.roots = {.hidraw = {root_ + "/sys", root_ + "/dev"}}};
};

TEST_F(DoctorTest, EachCauseIsToldApartWithTheOneThingToDoNext) {
  const std::string own = OwnGroup();
  using Arrange = std::function<void(DoctorTest&, UserFacts&)>;
  const auto rule = [](std::string folder, std::string text) {
    return [=](DoctorTest& t, UserFacts&) { t.PutRule(folder, text); };
  };
  const auto ruleAnd = [&](std::function<void(UserFacts&)> user) {
    return [=](DoctorTest& t, UserFacts& u) {
      t.PutRule("usr", RuleFor("0013", own));
      user(u);
    };
  };
  // The arrangement, the open's errno, the cause and part of the next step.
  const std::tuple<const char*, Arrange, int, AccessCause, std::string> cases[] = {
      {"opens", rule("usr", RuleFor("0013", own)), 0, AccessCause::Opens, ""},
      {"no rule", [](DoctorTest&, UserFacts&) {}, EACCES, AccessCause::NoRule,
       "install the orvelle package"},
      // The older rule in /etc hides the current one in /usr from udev.
      {"older rule first",
       [&](DoctorTest& t, UserFacts&) {
         t.PutRule("etc", RuleFor("0099", own));
         t.PutRule("usr", RuleFor("0013", own));
       },
       EACCES, AccessCause::RuleWithoutFrame, "install the current orvelle package"},
      {"rule after the plug-in", rule("usr", RuleFor("0013", "orvelle-other")), EACCES,
       AccessCause::RuleNotApplied, "udevadm trigger --subsystem-match=hidraw"},
      {"not in the group", ruleAnd([](UserFacts&) {}), EACCES, AccessCause::NotInGroup,
       "sudo adduser ann " + own + ", then log in again"},
      {"added since the login", ruleAnd([&](UserFacts& u) { u.databaseGroups = {own}; }), EACCES,
       AccessCause::GroupNeedsLogin, "log out and in again"},
      {"at the seat without access", ruleAnd([](UserFacts& u) { u.atSeat = true; }), EACCES,
       AccessCause::RuleNotApplied, "udevadm trigger"},
      {"gone while asked", rule("usr", RuleFor("0013", own)), ENODEV, AccessCause::OpenFailed,
       "replug the frame"},
  };
  for (const auto& [name, arrange, error, cause, next] : cases) {
    SCOPED_TRACE(name);
    for (const std::string& folder : setup_.roots.ruleFolders)
      fs::remove(folder + "/70-orvelle-touch.rules");
    UserFacts user = {.uid = 1000, .name = "ann"};
    arrange(*this, user);
    AddFrame("hidraw2");
    testing::AddHidrawNode(setup_.roots.hidraw, "hidraw1", "HID_ID=0003:0000046D:0000C52B\n", {});
    const auto frames = ExamineFrames(setup_.roots, AcceptedIdentities(), user,
                                      [error = error](const std::string&) { return error; });
    ASSERT_EQ(frames.size(), 1u);  // the keyboard at hidraw1 is no frame
    const FrameAccess& f = frames[0];
    EXPECT_EQ(f.node, setup_.roots.hidraw.dev + "/hidraw2");
    EXPECT_EQ(f.driver, "hid-generic");
    EXPECT_EQ(f.group, own);
    EXPECT_EQ(f.mode, 0660u);
    EXPECT_EQ(f.cause, cause) << f.why;
    EXPECT_NE(f.next.find(next), std::string::npos) << f.next;
    EXPECT_EQ(f.why.empty(), cause == AccessCause::Opens);
  }
}

// 0 only when every frame opens; 3 when the kernel shows none.
TEST_F(DoctorTest, TheExitStatusSaysWhetherEveryFrameOpens) {
  PutRule("usr", RuleFor("0013", OwnGroup()));
  const auto run = [&](bool json) {
    std::ostringstream out, err;
    const int status = ctl::RunDoctor(setup_, json, out, err);
    return std::tuple(status, out.str(), err.str());
  };
  EXPECT_EQ(std::get<0>(run(false)), ctl::kExitNoController);
  AddFrame("hidraw0");
  AddFrame("hidraw5");
  setup_.tryOpen = [&](const std::string& node) { return node.ends_with("5") ? EACCES : 0; };
  const auto [status, out, err] = run(true);
  EXPECT_EQ(status, ctl::kExitFailed);
  const auto document = nlohmann::json::parse(out);
  ASSERT_EQ(document["frames"].size(), 2u);
  EXPECT_EQ(document["frames"][0]["opens"], true);
  EXPECT_EQ(document["frames"][1]["cause"], "not-in-group");
  EXPECT_EQ(document["simulator"]["inUse"], false);
  setup_.tryOpen = [](const std::string&) { return 0; };
  const auto [allStatus, text, _] = run(false);
  EXPECT_EQ(allStatus, ctl::kExitDone);
  EXPECT_NE(text.find("this user can open it"), std::string::npos) << text;
}

}  // namespace
}  // namespace orvelle
