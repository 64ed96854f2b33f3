// The configuration page: reads on selection, Apply, restore and the user's controls.
#include "console/config_dlg.h"

#include <QAbstractSlider>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <thread>

#include "console/core/routing.h"
#include "platform/os_version.h"
#include "sim/sim_events.h"
#include "tests/gui/console/console_fixture.h"

namespace orvelle::console {
namespace {

using Lines = std::vector<std::string>;

constexpr OsVersionInfo kWindows7{kVerPlatformNt, 6, 1};
constexpr OsVersionInfo kLinux{kVerPlatformOther, 0, 0};

// Every control that a failed refresh disables.
constexpr int kValueControls[] = {
    IDC_TOUCH_SETTING, IDC_SWITCH_A12,   IDC_SWITCH_B12, IDC_SWITCH_C12, IDC_ON16,
    IDC_VALUE16_TEXT,  IDC_VALUE16_SPIN, IDC_LEVEL_A17,  IDC_LEVEL_B17,  IDC_LEVEL_C17,
    IDC_LEVEL_D17,     IDC_ON21,         IDC_PERIOD_A21, IDC_PERIOD_B21, IDC_ON15,
    IDC_VALUE15,       IDC_LEVEL15,      IDC_ON14,       IDC_VALUE14,    IDC_LEVEL14};

class ConfigPageTest : public ConsoleTest {
 protected:
  void Open(OsVersionInfo version, std::chrono::milliseconds timeout = 5s) {
    os_ = std::make_unique<FixedOsVersion>(version);
    environment_.osVersion = os_.get();
    Start(timeout);
    boxes_.Clear();
    pauses_.clear();
    dialog_->Link().RecordPauses([this](std::chrono::milliseconds p) { pauses_.push_back(p); });
    opened_ = sim_ ? sim_->Events().LastSeq() : 0;
    SelectTab(kTabConfig);
  }
  CConfigDlg& Page() const { return static_cast<CConfigDlg&>(*dialog_->Page(kTabConfig)); }
  QWidget* Item(int id) const { return DialogItem(Page(), id); }
  QString EditText() const { return DialogItemAs<QLineEdit>(Page(), IDC_VALUE16_TEXT)->text(); }
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
  Lines Received(uint64_t seq) const {
    Lines lines;
    for (const SimEvent& e : sim_->Events().After(seq))
      if (e.kind == SimEvent::Kind::In) lines.push_back(FormatEvent(e));
    return lines;
  }

  std::unique_ptr<FixedOsVersion> os_;
  std::vector<std::chrono::milliseconds> pauses_;
  uint64_t opened_ = 0;
};

const ControllerState kConfigured{.touchSetting = 1,
                                  .cfg12 = {1, 0, 1},
                                  .level14 = 10,
                                  .value14 = 1000,
                                  .on15 = 0,
                                  .value16 = 12,
                                  .cfg17 = {2, 3, 9, 7},
                                  .periodA21 = 180,
                                  .periodB21 = 750};

TEST_F(ConfigPageTest, RefreshAndApplyCarryTouchSettingsOnlyOnWindows7AndAFailureDisables) {
  for (const auto& [version, touchSettings] : {std::pair{kWindows7, true}, {kLinux, false}}) {
    SCOPED_TRACE(touchSettings ? "Windows 7" : "Linux");
    Plug(kConfigured);
    Open(version);
    Lines reads = {"in  07 12 01 01 FF  CFG_12", "in  07 16 01 01 FF  CFG_16",
                   "in  07 17 01 01 FF  CFG_17", "in  07 21 01 01 FF  CFG_21",
                   "in  07 15 01 01 FF  CFG_15", "in  07 14 01 01 FF  CFG_14"};
    if (touchSettings) reads.insert(reads.begin(), "in  07 11 01 01 FF  TOUCH_SETTINGS");
    EXPECT_EQ(Received(opened_), reads);

    // Elsewhere 1022 shows the initial value 2, disabled.
    EXPECT_EQ(DialogItemAs<QComboBox>(Page(), IDC_TOUCH_SETTING)->currentIndex(),
              touchSettings ? 0 : 1);
    EXPECT_EQ(Item(IDC_TOUCH_SETTING)->isEnabled(), touchSettings);
    EXPECT_EQ(EditText(), "12");
    EXPECT_FALSE(Item(IDC_VALUE15)->isEnabled());
    for (int id : {IDC_LEVEL_C17, IDC_LEVEL_D17, IDC_LEVEL_C17_LABEL, IDC_LEVEL_D17_LABEL})
      EXPECT_TRUE(Item(id)->isHidden()) << id;

    Click(IDC_APPLY);
    EXPECT_EQ(Boxes(), std::vector<QString>{Box(kMsgSaved, kMsgSavedCaption)});
    EXPECT_EQ(sim_->State(), kConfigured);
    // A pause after each of the seven groups, whether the class has it or not;
    // the writes are read back.
    std::vector<std::chrono::milliseconds> pauses(7, 20ms);
    pauses.resize(14, 30ms);
    pauses.resize(21, 20ms);
    EXPECT_EQ(pauses_, pauses);
  }
  for (bool plugged : {false, true}) {
    SCOPED_TRACE(plugged ? "the last group's answer missing" : "no controller");
    sim_.reset();
    if (plugged) {
      Plug();
      sim_->SetFault({kCommandReportId, CFG_14}, {FaultKind::Silent});
    }
    Open(kLinux, 300ms);
    EXPECT_EQ(Boxes().size(), plugged ? 0u : 1u);
    EXPECT_EQ(EnabledControls(), std::vector<int>{});
    EXPECT_FALSE(Item(IDC_APPLY)->isEnabled() || Item(IDC_RESTORE)->isEnabled())
        << "nothing unread is written";
    // The page's own positions are not the user's choices.
    EXPECT_EQ(DialogItemAs<QAbstractSlider>(Page(), IDC_LEVEL_A17)->value(), 1);
    EXPECT_EQ(Page().State().levelA17, 5);

    if (plugged) {
      sim_->ClearFaults();
    } else {
      boxes_.Clear();
      Page().RestoreDefaults();
      EXPECT_EQ(Boxes(), (std::vector<QString>{Box(kMsgNotConnected), Box(kMsgNotConnected)}))
          << "the restore and its refresh";
      Plug();
      ASSERT_TRUE(QTest::qWaitFor([&] { return Status() == Text(1081); }));
    }
    SelectTab(kTabOptions);
    SelectTab(kTabConfig);
    EXPECT_EQ(EnabledControls(),
              std::vector<int>(std::begin(kValueControls) + 1, std::end(kValueControls)));
  }
}

// The spin steps from its position: at the bottom it shows 0 but stays at 1, so up gives 2.
TEST_F(ConfigPageTest, UserChoicesReachTheControllerRefusalsAreReportedRestoreAsks) {
  Plug({.value16 = 20});
  Open(kWindows7);
  auto* spin = DialogItemAs<QSpinBox>(Page(), IDC_VALUE16_SPIN);
  for (const auto& [by, text] : {std::pair{1, "20"}, {-19, "1"}, {-1, "0"}, {1, "2"}}) {
    spin->stepBy(by);
    EXPECT_EQ(EditText(), text) << by;
    EXPECT_EQ(Page().State().value16, QString(text).toInt());
  }
  Choose(IDC_TOUCH_SETTING, 0);
  Choose(IDC_SWITCH_A12, 0);
  Choose(IDC_ON15, 1);
  EXPECT_FALSE(Item(IDC_VALUE15)->isEnabled() || Item(IDC_LEVEL15)->isEnabled());
  Choose(IDC_ON21, 0);
  EXPECT_TRUE(Item(IDC_PERIOD_A21)->isEnabled());
  Choose(IDC_PERIOD_A21, 0);
  Choose(IDC_VALUE14, 2);
  DialogItemAs<QAbstractSlider>(Page(), IDC_LEVEL_B17)->setValue(2);
  Click(IDC_APPLY);
  EXPECT_EQ(TakeBoxes(), std::vector<QString>{Box(kMsgSaved, kMsgSavedCaption)});
  EXPECT_EQ(sim_->State(), (ControllerState{.touchSetting = 1,
                                            .cfg12 = {1, 0, 0},
                                            .value14 = 300,
                                            .on15 = 0,
                                            .value16 = 2,
                                            .cfg17 = {5, 2, 4, 4},
                                            .periodA21 = 3}));

  // The controller refuses with {2, 0}, padded to 2, 6 and 5 bytes.
  for (uint8_t code : {CFG_12, CFG_21, CFG_14}) {
    sim_->SetFault({kCommandReportId, code}, {FaultKind::Refuse, true});
    const uint64_t seq = sim_->Events().LastSeq();
    Click(IDC_APPLY);
    EXPECT_EQ(TakeBoxes(), std::vector<QString>{Box(kMsgOperationFailed)}) << int(code);
    EXPECT_EQ(Received(seq).size(), 14u) << "every write, then every read";
  }

  const QString ask = Box(kMsgRestoreDefaults, kMsgSavedCaption);
  const std::tuple<int, bool, std::vector<QString>> restores[] = {
      {kIdNo, false, {ask}},
      {kIdYes, true, {ask, Box(kMsgOperationFailed)}},
      {kIdYes, false, {ask, Box(kMsgSaved, kMsgSavedCaption)}},
  };
  for (const auto& [answer, refused, boxes] : restores) {
    SCOPED_TRACE(::testing::Message() << answer << refused);
    sim_->ClearFaults();
    if (refused) sim_->SetFault({kCommandReportId, CFG_RESET}, {FaultKind::Refuse});
    boxes_.ScriptAnswers({answer});
    const uint64_t seq = sim_->Events().LastSeq();
    Click(IDC_RESTORE);
    EXPECT_EQ(TakeBoxes(), boxes);
    const Lines received = Received(seq);
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.front().starts_with("in  07 81 01 02 FF"), answer != kIdNo);
    EXPECT_EQ(received.back(), "in  07 14 01 01 FF  CFG_14");  // read again
    EXPECT_EQ(EditText(), answer == kIdYes && !refused ? "5" : "2");
  }
}

// The page writes back only what it read of the controller connected now; a
// write without an answer is a failure, and the page reads again.
TEST_F(ConfigPageTest, ApplyWritesOnlyWhatWasReadOfTheControllerConnectedNow) {
  const auto applyEnabled = [&] { return Item(IDC_APPLY)->isEnabled(); };
  const ControllerState first{.cfg12 = {1, 1, 0}, .value16 = 11};
  Open(kLinux, 300ms);
  EXPECT_FALSE(applyEnabled());
  Plug(first);
  ASSERT_TRUE(QTest::qWaitFor(applyEnabled)) << "the arrival is read";
  EXPECT_EQ(EditText(), "11");
  boxes_.Clear();
  Click(IDC_APPLY);
  EXPECT_EQ(TakeBoxes(), std::vector<QString>{Box(kMsgSaved, kMsgSavedCaption)});
  EXPECT_EQ(sim_->State(), first);

  sim_->SetFault({kCommandReportId, CFG_16}, {FaultKind::Silent, true});
  Click(IDC_APPLY);
  EXPECT_EQ(TakeBoxes(), std::vector<QString>{Box(kMsgOperationFailed)}) << "a lost write fails";

  // A removal forgets; another controller is read afresh.
  const std::string path = sim_->Path();
  sim_->Unplug();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !applyEnabled(); }));
  EXPECT_EQ(Page().State(), ConfigPageState{});
  const ControllerState second{.cfg12 = {0, 0, 1}, .value16 = 3};
  std::string error;
  ASSERT_TRUE(sim_->SetState(second, error)) << error;
  ASSERT_TRUE(sim_->Plug(path, error)) << error;
  ASSERT_TRUE(QTest::qWaitFor(applyEnabled));
  Click(IDC_APPLY);
  EXPECT_EQ(sim_->State(), second);

  // The value box shows any signed byte the controller holds in full.
  sim_->SetFault({kCommandReportId, CFG_16}, {FaultKind::Silent, true});
  const uint64_t seq = sim_->Events().LastSeq();
  std::thread controller([&] {
    if (orvelle::testing::AwaitFrame(*sim_, SimEvent::Kind::In, kCommandReportId, CFG_16, 10s, seq))
      sim_->SendFrame(kCommandReportId, CFG_16, std::array<uint8_t, 3>{kSubRead, 1, 127});
  });
  Page().Refresh();
  controller.join();
  EXPECT_EQ(EditText(), "127");
}

}  // namespace
}  // namespace orvelle::console
