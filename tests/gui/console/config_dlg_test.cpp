// The configuration page against a simulated controller, driven as the
// window thread drives it: reads on selection, Apply, restore, and the
// controls a user works.
#include "console/config_dlg.h"

#include <QAbstractSlider>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>

#include "console/core/routing.h"
#include "platform/os_version.h"
#include "sim/sim_events.h"
#include "tests/gui/console/console_fixture.h"

namespace orvelle::console {
namespace {

using orvelle::testing::PumpUntil;
using Lines = std::vector<std::string>;

constexpr OsVersionInfo kWindows7{kVerPlatformNt, 6, 1};
constexpr OsVersionInfo kWindows8{kVerPlatformNt, 6, 2};
constexpr OsVersionInfo kLinux{kVerPlatformOther, 0, 0};

// Every control that a failed refresh disables.
constexpr int kValueControls[] = {
    IDC_TOUCH_SETTING, IDC_SWITCH_A12,   IDC_SWITCH_B12, IDC_SWITCH_C12, IDC_ON16,
    IDC_VALUE16_TEXT,  IDC_VALUE16_SPIN, IDC_LEVEL_A17,  IDC_LEVEL_B17,  IDC_LEVEL_C17,
    IDC_LEVEL_D17,     IDC_ON21,         IDC_PERIOD_A21, IDC_PERIOD_B21, IDC_ON15,
    IDC_VALUE15,       IDC_LEVEL15,      IDC_ON14,       IDC_VALUE14,    IDC_LEVEL14};

class ConfigPageTest : public ConsoleTest {
 protected:
  COrvelleConsoleDlg& StartAs(OsVersionInfo version, std::chrono::milliseconds timeout = 5s) {
    os_ = std::make_unique<FixedOsVersion>(version);
    environment_.osVersion = os_.get();
    COrvelleConsoleDlg& dialog = Start(timeout);
    boxes_.Clear();
    return dialog;
  }
  CConfigDlg& Page() const { return static_cast<CConfigDlg&>(*dialog_->Page(kTabConfig)); }
  QWidget* Item(int id) const { return DialogItem(Page(), id); }
  int Index(int id) const {
    auto* combo = DialogItemAs<QComboBox>(Page(), id);
    return combo ? combo->currentIndex() : -2;
  }
  int Position(int id) const {
    auto* slider = DialogItemAs<QAbstractSlider>(Page(), id);
    return slider ? slider->value() : -2;
  }
  QString EditText() const {
    auto* edit = DialogItemAs<QLineEdit>(Page(), IDC_VALUE16_TEXT);
    return edit ? edit->text() : QStringLiteral("<missing>");
  }
  std::vector<int> EnabledControls() const {
    std::vector<int> enabled;
    for (int id : kValueControls)
      if (Item(id)->isEnabled()) enabled.push_back(id);
    return enabled;
  }
  // A user's choice, which the combo reports as the native one does.
  void Choose(int id, int index) {
    auto* combo = DialogItemAs<QComboBox>(Page(), id);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }
  void Click(int id) { DialogItemAs<QPushButton>(Page(), id)->click(); }
  // The frames the controller received since `seq`, as its log shows them.
  Lines Received(uint64_t seq) const {
    Lines lines;
    for (const SimEvent& e : sim_->Events().After(seq))
      if (e.kind == SimEvent::Kind::In) lines.push_back(FormatEvent(e));
    return lines;
  }
  void OpenPage() {
    if (dialog_->CurrentTab() == kTabConfig) SelectTab(kTabOptions);
    SelectTab(kTabConfig);
  }

  std::unique_ptr<FixedOsVersion> os_;
};

ControllerState Configured() {
  ControllerState s;
  s.touchSetting = 1;
  s.cfg12 = {1, 0, 1};
  s.value16 = 12;
  s.cfg17 = {2, 3, 9, 7};
  s.periodA21 = 180;
  s.periodB21 = 750;
  s.on15 = 0;
  s.level14 = 10;
  s.value14 = 1000;
  return s;
}

struct ClassCase {
  const char* name;
  OsVersionInfo version;
  bool touchSettings;  // TOUCH_SETTINGS read, written and editable
};

class ConfigClassTest : public ConfigPageTest, public ::testing::WithParamInterface<ClassCase> {};

TEST_P(ConfigClassTest, RefreshAndApplyCarryTouchSettingsOnlyOnWindows7) {
  const ClassCase& c = GetParam();
  Plug(Configured());
  StartAs(c.version);
  std::vector<std::chrono::milliseconds> pauses;
  dialog_->Link().RecordPauses([&](std::chrono::milliseconds p) { pauses.push_back(p); });
  uint64_t seq = sim_->Events().LastSeq();
  OpenPage();
  Lines reads = {"in  07 12 01 01 FF  CFG_12", "in  07 16 01 01 FF  CFG_16",
                 "in  07 17 01 01 FF  CFG_17", "in  07 21 01 01 FF  CFG_21",
                 "in  07 15 01 01 FF  CFG_15", "in  07 14 01 01 FF  CFG_14"};
  if (c.touchSettings) reads.insert(reads.begin(), "in  07 11 01 01 FF  TOUCH_SETTINGS");
  EXPECT_EQ(Received(seq), reads);

  // Elsewhere 1022 shows the initial value 2, disabled.
  EXPECT_EQ(Index(IDC_TOUCH_SETTING), c.touchSettings ? 0 : 1);
  EXPECT_EQ(Item(IDC_TOUCH_SETTING)->isEnabled(), c.touchSettings);
  EXPECT_EQ(EditText(), "12");
  EXPECT_FALSE(Item(IDC_VALUE15)->isEnabled());
  for (int id : {IDC_LEVEL_C17, IDC_LEVEL_D17, IDC_LEVEL_C17_LABEL, IDC_LEVEL_D17_LABEL})
    EXPECT_TRUE(Item(id)->isHidden()) << id;

  // Apply writes back what was read, hidden levels included.
  seq = sim_->Events().LastSeq();
  Click(IDC_APPLY);
  Lines writes;
  for (const std::string& line : Received(seq))
    writes.push_back(line.substr(0, line.find("  ", 4)));
  Lines expected = {"in  07 12 04 02 01 00 01 FF",    "in  07 16 03 02 01 0C FF",
                    "in  07 17 05 02 02 03 09 07 FF", "in  07 21 06 02 01 00 B4 02 EE FF",
                    "in  07 15 05 02 00 05 0B B8 FF", "in  07 14 05 02 01 0A 03 E8 FF"};
  if (c.touchSettings) expected.insert(expected.begin(), "in  07 11 02 02 01 FF");
  EXPECT_EQ(writes, expected);
  EXPECT_EQ(Boxes(), std::vector<QString>{Box(kMsgSaved, kMsgSavedCaption)});
  EXPECT_EQ(sim_->State(), Configured());
  // A pause after each of the seven groups, whether the class has it or not.
  std::vector<std::chrono::milliseconds> expectedPauses(7, 20ms);
  expectedPauses.resize(14, 30ms);
  EXPECT_EQ(pauses, expectedPauses);
}

INSTANTIATE_TEST_SUITE_P(Classes, ConfigClassTest,
                         ::testing::Values(ClassCase{"Windows7", kWindows7, true},
                                           ClassCase{"Windows8", kWindows8, false},
                                           ClassCase{"Linux", kLinux, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailedRefreshCase {
  const char* name;
  bool plugged;  // else the last group's answer is missing
};

class FailedRefreshTest : public ConfigPageTest,
                          public ::testing::WithParamInterface<FailedRefreshCase> {};

// A refresh that completes after a failed one makes the page usable again.
TEST_P(FailedRefreshTest, DisablesThePageUntilARefreshCompletes) {
  const FailedRefreshCase& c = GetParam();
  if (c.plugged) {
    Plug();
    sim_->SetFault({kCommandReportId, CFG_14}, {FaultKind::Silent});
  }
  StartAs(kLinux, 300ms);
  OpenPage();
  EXPECT_EQ(Boxes().size(), c.plugged ? 0u : 1u);
  EXPECT_EQ(EnabledControls(), std::vector<int>{});
  EXPECT_EQ(EditText(), "5");
  // The page's own positions are not the user's choices.
  EXPECT_EQ(Position(IDC_LEVEL_A17), 1);
  EXPECT_EQ(Page().State().levelA17, 5);

  if (c.plugged) {
    sim_->ClearFaults();
  } else {
    Plug();
    ASSERT_TRUE(PumpUntil([&] { return Status() == Text(1081); }));
  }
  OpenPage();
  std::vector<int> usable(std::begin(kValueControls) + 1, std::end(kValueControls));
  EXPECT_EQ(EnabledControls(), usable);
  EXPECT_EQ(EditText(), "5");
}

INSTANTIATE_TEST_SUITE_P(Causes, FailedRefreshTest,
                         ::testing::Values(FailedRefreshCase{"NoController", false},
                                           FailedRefreshCase{"NoLastAnswer", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfigPageTest, ARefusedWriteIsReportedAndApplyClaimsNoSuccess) {
  Plug();
  StartAs(kLinux);
  OpenPage();
  // The controller refuses with {2, 0}, padded to 2, 6 and 5 bytes.
  for (uint8_t code : {CFG_12, CFG_21, CFG_14}) {
    boxes_.Clear();
    sim_->SetFault({kCommandReportId, code}, {FaultKind::Refuse, true});
    const uint64_t seq = sim_->Events().LastSeq();
    Click(IDC_APPLY);
    EXPECT_EQ(Boxes(), std::vector<QString>{Box(kMsgOperationFailed)}) << int(code);
    EXPECT_EQ(Received(seq).size(), 6u);
  }
}

TEST_F(ConfigPageTest, SpinStepsFromItsPositionAndClampsTheValue) {
  ControllerState state;
  state.value16 = 20;
  Plug(state);
  StartAs(kLinux);
  OpenPage();
  auto* spin = DialogItemAs<QSpinBox>(Page(), IDC_VALUE16_SPIN);
  ASSERT_NE(spin, nullptr);
  struct Step {
    int by;
    const char* text;
  };
  // Up at the top stays 20; down at the bottom gives 0 with the position
  // kept at 1, so the next step up gives 2.
  for (const Step& step : {Step{1, "20"}, Step{-19, "1"}, Step{-1, "0"}, Step{1, "2"}}) {
    spin->stepBy(step.by);
    EXPECT_EQ(EditText(), step.text) << step.by;
    EXPECT_EQ(Page().State().value16, QString(step.text).toInt());
  }
  EXPECT_EQ(spin->value(), 2);
}

TEST_F(ConfigPageTest, UserChoicesReachTheControllerOnApply) {
  Plug();
  StartAs(kWindows7);
  OpenPage();
  Choose(IDC_TOUCH_SETTING, 0);
  Choose(IDC_SWITCH_A12, 0);
  Choose(IDC_ON15, 1);
  EXPECT_FALSE(Item(IDC_VALUE15)->isEnabled());
  EXPECT_FALSE(Item(IDC_LEVEL15)->isEnabled());
  Choose(IDC_ON21, 0);
  EXPECT_TRUE(Item(IDC_PERIOD_A21)->isEnabled());
  Choose(IDC_PERIOD_A21, 0);
  Choose(IDC_VALUE14, 2);
  DialogItemAs<QAbstractSlider>(Page(), IDC_LEVEL_B17)->setValue(2);
  Click(IDC_APPLY);
  EXPECT_EQ(Boxes(), std::vector<QString>{Box(kMsgSaved, kMsgSavedCaption)});

  ControllerState expected;
  expected.touchSetting = 1;
  expected.cfg12 = {1, 0, 0};
  expected.on15 = 0;
  expected.periodA21 = 3;
  expected.value14 = 300;
  expected.cfg17 = {5, 2, 4, 4};
  EXPECT_EQ(sim_->State(), expected);
}

struct RestoreCase {
  const char* name;
  bool plugged;
  int answer;
  std::optional<FaultKind> fault;
  std::vector<int> boxes;
  bool restored;
};

class RestoreTest : public ConfigPageTest, public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(RestoreTest, AsksThenRestoresAndReadsAgain) {
  const RestoreCase& c = GetParam();
  if (c.plugged) Plug(Configured());
  StartAs(kLinux);
  OpenPage();
  boxes_.Clear();
  if (c.fault) sim_->SetFault({kCommandReportId, CFG_RESET}, {*c.fault});
  boxes_.ScriptAnswers({c.answer});
  const uint64_t seq = c.plugged ? sim_->Events().LastSeq() : 0;
  Click(IDC_RESTORE);

  std::vector<QString> expected;
  for (int text : c.boxes)
    expected.push_back(Box(text, text == kMsgNotConnected || text == kMsgOperationFailed
                                     ? kMsgErrorCaption
                                     : kMsgSavedCaption));
  EXPECT_EQ(Boxes(), expected);
  if (!c.plugged) return;
  const Lines received = Received(seq);
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received.front().starts_with("in  07 81 01 02 FF"), c.answer != kIdNo);
  EXPECT_EQ(received.back(), "in  07 14 01 01 FF  CFG_14");  // read again
  EXPECT_EQ(EditText(), c.restored ? "5" : "12");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RestoreTest,
    ::testing::Values(
        RestoreCase{"NoControllerSaysSoTwice", false, kIdYes, {}, {1083, 1083}, false},
        RestoreCase{"Yes", true, kIdYes, {}, {1119, 1116}, true},
        RestoreCase{"No", true, kIdNo, {}, {1119}, false},
        RestoreCase{"Refused", true, kIdYes, FaultKind::Refuse, {1119, 1085}, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvelle::console
