// The console's main window and its information and options pages, driven as
// the window thread drives them, against a simulated controller.
#include <cerrno>

#include <QAbstractButton>
#include <QSystemTrayIcon>

#include "console/calibration_dlg.h"
#include "console/config_dlg.h"
#include "console/core/logon_entry.h"
#include "console/core/routing.h"
#include "console/options_dlg.h"
#include "console/about_page.h"
#include "devlink/catalogue.h"
#include "shell/dialog_support.h"
#include "shell/language_choice.h"
#include "tests/gui/console/console_fixture.h"
#include "tests/support/hidraw_like_bus.h"

namespace orvelle::console {
namespace {

using namespace std::chrono_literals;
using orvelle::testing::PumpUntil;

TEST_F(ConsoleTest, StartShowsTheControllersIdentityAndLayout) {
  ControllerState state;
  state.layoutA = {12, 12, 13};
  state.layoutB = {-4};
  Plug(state);
  Start();
  EXPECT_EQ(Status(), Text(1081));
  const std::pair<int, QString> fields[] = {
      {CInfoDlg::IDC_MODEL, "OVT-6510"},  {CInfoDlg::IDC_IDENTITY_2, "FW2.10.7"},
      {CInfoDlg::IDC_INFO_VALUE, "3"},    {CInfoDlg::IDC_COUNT_A, "3"},
      {CInfoDlg::IDC_LIST_A, "12+12+13"}, {CInfoDlg::IDC_COUNT_B, "1"},
      {CInfoDlg::IDC_LIST_B, "-4"},
  };
  for (const auto& [id, text] : fields)
    EXPECT_EQ(Field(id), text) << id;
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(dialog_->CurrentTab(), kTabInfo);
  bool ended = false;
  QObject::connect(dialog_.get(), &QDialog::finished, [&] { ended = true; });
  DialogItemAs<QAbstractButton>(*dialog_, 2)->click();  // the window's close button
  EXPECT_TRUE(ended);
}

TEST_F(ConsoleTest, WithoutLayoutOrTransferTextEveryFieldShowsItsDefault) {
  ControllerState state;
  state.infoF5Text = "Another controller";
  Plug(state);
  sim_->SetFault({kCommandReportId, GET_LAYOUT}, {FaultKind::Silent});
  Start(300ms);
  for (int id : {CInfoDlg::IDC_MODEL, CInfoDlg::IDC_IDENTITY_2, CInfoDlg::IDC_IDENTITY_3,
                 CInfoDlg::IDC_IDENTITY_4})
    EXPECT_EQ(Field(id), "N/A") << id;
  for (int id : {CInfoDlg::IDC_INFO_VALUE, CInfoDlg::IDC_COUNT_A, CInfoDlg::IDC_COUNT_B,
                 CInfoDlg::IDC_LIST_A, CInfoDlg::IDC_LIST_B})
    EXPECT_EQ(Field(id), "0") << id;
}

TEST_F(ConsoleTest, WithoutControllerEverySelectionOfTheFirstTabSaysSo) {
  Start();
  EXPECT_EQ(Status(), Text(1082));
  SelectTab(kTabOptions);
  SelectTab(kTabInfo);
  EXPECT_EQ(Boxes(), (std::vector<QString>{Box(kMsgNotConnected), Box(kMsgNotConnected)}));
  EXPECT_EQ(Field(CInfoDlg::IDC_MODEL), "N/A");
}

TEST_F(ConsoleTest, FramesGoToThePageThatCanUseThem) {
  Plug();
  Start();
  auto& config = static_cast<CConfigDlg&>(*dialog_->Page(kTabConfig));
  CCalibrationDlg& calibration = dialog_->CalibrationPage();
  const uint64_t before = sim_->Events().LastSeq();

  // The about page sends nothing; command answers while it shows are
  // dropped, yet they still end the wait.
  SelectTab(kTabAbout);
  EXPECT_TRUE(sim_->Events().After(before).empty());
  ControllerState changed = sim_->State();
  changed.modelText = "CHANGED";
  changed.value16 = 17;
  std::string error;
  ASSERT_TRUE(sim_->SetState(changed, error)) << error;
  for (uint8_t code : {GET_MODEL, CFG_16}) {
    const FrameBuffer request = InfoExchange::Request(code);
    EXPECT_TRUE(
        dialog_->Link().SendAndWait(kCommandChannel, {request.data(), kCommandFrameLength}));
  }
  EXPECT_EQ(dialog_->InfoPage().State().modelText, "OVT-6510");
  EXPECT_EQ(config.State().value16, ConfigPageState{}.value16);
  EXPECT_FALSE(calibration.State().optionKnown);

  // Calibration frames reach the calibration page from every tab.
  for (const auto& [tab, mode] :
       {std::pair{kTabAbout, uint8_t{3}}, std::pair{kTabInfo, uint8_t{4}}}) {
    SelectTab(tab);
    ASSERT_TRUE(sim_->SendFrame(kCalibrationReportId, CAL_GET_MODE, std::span(&mode, 1)));
    EXPECT_TRUE(PumpUntil([&] { return calibration.State().calMode == mode; })) << tab;
  }
  EXPECT_TRUE(DialogItemAs<QAbstractButton>(calibration, CCalibrationDlg::IDC_MODE_4)->isChecked());
  EXPECT_TRUE(Boxes().empty());
  SelectTab(kTabConfig);
  EXPECT_EQ(config.State().value16, 17);
}

TEST_F(ConsoleTest, TheStatusLineFollowsTheControllerOutAndBackIn) {
  Plug();
  Start();
  const size_t opensBefore = sim_->OpenCount();
  dialog_->OnDeviceChange({DeviceNotice::Kind::Arrival, "/sys/devices/another/hidraw9#col00"});
  EXPECT_EQ(sim_->OpenCount(), opensBefore);
  EXPECT_EQ(Status(), Text(1081));

  const std::string path = sim_->Path();
  sim_->Unplug();
  ASSERT_TRUE(PumpUntil([&] { return Status() == Text(1082); }));
  EXPECT_TRUE(Boxes().empty());
  std::string error;
  ASSERT_TRUE(sim_->Plug(path, error)) << error;
  EXPECT_TRUE(PumpUntil([&] { return Status() == Text(1081); }));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(ConsoleTest, AControllerThisUserMayNotOpenIsNamedOnceWithTheFix) {
  auto bus = std::make_shared<orvelle::testing::HidrawLikeBus>();
  bus->RefuseOpens(EACCES);
  link_ = std::make_unique<CUSBTransfer>(orvelle::testing::Quick(LinkProfile::Console()), bus);
  environment_.link = link_.get();
  dialog_ = std::make_unique<COrvelleConsoleDlg>(environment_);
  dialog_->OnInitDialog();
  EXPECT_EQ(Status(), Text(1082));
  dialog_->ConnectAndShowStatus();  // as an arrival notice would
  EXPECT_EQ(Boxes(), (std::vector<QString>{Box(kMsgCannotOpen), Box(kMsgNotConnected)}));
}

TEST_F(ConsoleTest, AControllerPluggedInAfterStartIsOpenedAtOnce) {
  Start();
  ASSERT_EQ(Status(), Text(1082));
  Plug();
  EXPECT_TRUE(PumpUntil([&] { return Status() == Text(1081); }));
}

TEST_F(ConsoleTest, AHiddenStartLeavesOnlyTheTrayIconUntilADoubleClick) {
  std::unique_ptr<RegKey> key;
  ASSERT_EQ(registry_.CreateKey(RegRoot::LocalMachine, kStartupSettingsKey, RegAccess::AllAccess,
                                key, nullptr),
            RegStatus::Success);
  ASSERT_EQ(SetDwordValue(*key, kMinimizeWindowOnLoaded, 1), RegStatus::Success);
  ASSERT_EQ(SetDwordValue(*key, kLoadProgramOnStartup, 0), RegStatus::Success);
  COrvelleConsoleDlg& dialog = Start();
  dialog.ShowInitially();
  EXPECT_FALSE(dialog.isVisible());
  ASSERT_NE(dialog.TrayIcon(), nullptr);
  EXPECT_EQ(dialog.TrayIcon()->toolTip(), "OrvelleConsole");

  EXPECT_EQ(dialog.OnTrayNotify(129, COrvelleConsoleDlg::kLeftButtonDoubleClick), 1);
  EXPECT_EQ(dialog.OnTrayNotify(129, COrvelleConsoleDlg::kRightButtonUp), 1);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_FALSE(dialog.TrayMenu().isVisible());
  EXPECT_EQ(dialog.OnTrayNotify(128, COrvelleConsoleDlg::kLeftButtonDoubleClick), 0);
  EXPECT_TRUE(dialog.isVisible());

  // Minimising hides the window again; the notification menu's one item ends the console.
  dialog.setWindowState(Qt::WindowMinimized);
  EXPECT_TRUE(PumpUntil([&] { return !dialog.isVisible(); }));
  ASSERT_EQ(dialog.TrayMenu().actions().size(), 1);
  EXPECT_EQ(dialog.TrayMenu().actions()[0]->text(), QString::fromUtf8("退出(&X)"));
  bool ended = false;
  QObject::connect(&dialog, &QDialog::finished, [&] { ended = true; });
  dialog.TrayMenu().actions()[0]->trigger();
  EXPECT_TRUE(ended);
}

TEST_F(ConsoleTest, WithoutANotificationAreaAHiddenStartOnlyMinimises) {
  std::unique_ptr<RegKey> key;
  ASSERT_EQ(registry_.CreateKey(RegRoot::LocalMachine, kStartupSettingsKey, RegAccess::AllAccess,
                                key, nullptr),
            RegStatus::Success);
  ASSERT_EQ(SetDwordValue(*key, kMinimizeWindowOnLoaded, 1), RegStatus::Success);
  ASSERT_EQ(SetDwordValue(*key, kLoadProgramOnStartup, 0), RegStatus::Success);
  environment_.trayAvailable = false;
  COrvelleConsoleDlg& dialog = Start();
  dialog.ShowInitially();
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(dialog.isMinimized());
}

TEST_F(ConsoleTest, OptionsShowTheStoredLanguageAndSaveTheChoice) {
  std::unique_ptr<RegKey> key;
  ASSERT_EQ(registry_.CreateKey(RegRoot::LocalMachine, kGlobalSettingsKey, RegAccess::AllAccess,
                                key, nullptr),
            RegStatus::Success);
  ASSERT_EQ(SetDwordValue(*key, kLanguageValue, 2), RegStatus::Success);  // as start-up writes it
  Start();
  SelectTab(kTabOptions);
  COptionsDlg& page = dialog_->OptionsPage();
  auto* english = DialogItemAs<QAbstractButton>(page, COptionsDlg::IDC_LANGUAGE_0);
  auto* chinese = DialogItemAs<QAbstractButton>(page, COptionsDlg::IDC_LANGUAGE_1);
  auto* logon = DialogItemAs<QAbstractButton>(page, COptionsDlg::IDC_LOAD_ON_STARTUP);
  ASSERT_TRUE(english && chinese && logon);
  EXPECT_FALSE(english->isChecked());
  EXPECT_FALSE(chinese->isChecked());

  chinese->click();
  english->click();
  chinese->click();
  logon->click();
  EXPECT_FALSE(english->isChecked());
  boxes_.Clear();
  DialogItemAs<QAbstractButton>(page, COptionsDlg::IDC_SAVE)->click();
  EXPECT_EQ(Boxes(), std::vector<QString>{Box(kMsgSaved, kMsgSavedCaption)});
  uint8_t value[4] = {};
  size_t size = sizeof value;
  ASSERT_EQ(key->QueryValue(kLanguageValue, nullptr, value, &size), RegStatus::Success);
  EXPECT_EQ(value[0], 1);
  EXPECT_TRUE(std::filesystem::exists(configFolder_.File("autostart/OrvelleConsole.desktop")));
}

}  // namespace
}  // namespace orvelle::console
