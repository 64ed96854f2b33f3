// The console's main window and its information and options pages.
#include <cerrno>

#include <QAbstractButton>
#include <QComboBox>
#include <QSystemTrayIcon>

#include "console/core/config_controls.h"
#include "console/core/routing.h"
#include "console/options_dlg.h"
#include "devlink/protocol.h"
#include "shell/core/language_choice.h"
#include "tests/gui/console/console_fixture.h"
#include "tests/support/hidraw_like_bus.h"

namespace orvelle::console {
namespace {

// Answers on the about page end the wait but are dropped: the window follows the tab on show.
TEST_F(ConsoleTest, StartShowsTheControllersIdentityAndFramesGoToThePageThatCanUseThem) {
  Plug({.layoutB = {-4}});
  Start();
  EXPECT_EQ(Status(), Text(1081));
  QStringList fields;
  for (int id :
       {CInfoDlg::IDC_MODEL, CInfoDlg::IDC_IDENTITY_2, CInfoDlg::IDC_INFO_VALUE,
        CInfoDlg::IDC_COUNT_A, CInfoDlg::IDC_LIST_A, CInfoDlg::IDC_COUNT_B, CInfoDlg::IDC_LIST_B})
    fields << Field(id);
  EXPECT_EQ(fields.join(' '), "OVT-6510 FW2.10.7 3 3 12+12+13 1 -4");
  EXPECT_EQ(dialog_->CurrentTab(), kTabInfo);

  SelectTab(kTabAbout);
  std::string error;
  ASSERT_TRUE(sim_->SetState({.modelText = "CHANGED"}, error)) << error;
  const FrameBuffer request = InfoExchange::Request(GET_MODEL);
  EXPECT_TRUE(dialog_->Link().SendAndWait(kCommandChannel, {request.data(), kCommandFrameLength}));
  EXPECT_EQ(dialog_->InfoPage().State().modelText, "OVT-6510");
  EXPECT_TRUE(Boxes().empty());
  bool ended = false;
  QObject::connect(dialog_.get(), &QDialog::finished, [&] { ended = true; });
  DialogItemAs<QAbstractButton>(*dialog_, 2)->click();  // the window's close button
  EXPECT_TRUE(ended);
}

// Out, in, out and in again; another device's arrival opens nothing; the language is saved.
TEST_F(ConsoleTest, TheStatusFollowsTheControllerARefusedOneIsNamedOptionsSaveTheLanguage) {
  auto bus = std::make_shared<orvelle::testing::HidrawLikeBus>();
  bus->RefuseOpens(EACCES);
  Start(5s, bus);
  EXPECT_EQ(Status(), Text(1082));
  dialog_->ConnectAndShowStatus();  // as an arrival notice would
  EXPECT_EQ(TakeBoxes(), (std::vector<QString>{Box(kMsgCannotOpen), Box(kMsgNotConnected)}));
  std::unique_ptr<RegKey> key;
  ASSERT_EQ(registry_.CreateKey(RegRoot::LocalMachine, kGlobalSettingsKey, RegAccess::AllAccess,
                                key, nullptr),
            RegStatus::Success);
  ASSERT_EQ(SetDwordValue(*key, kLanguageValue, 2), RegStatus::Success);  // as start-up writes it
  Start();
  EXPECT_EQ(Status(), Text(1082));
  SelectTab(kTabOptions);
  COptionsDlg& page = dialog_->OptionsPage();
  auto* english = DialogItemAs<QAbstractButton>(page, COptionsDlg::IDC_LANGUAGE_0);
  auto* chinese = DialogItemAs<QAbstractButton>(page, COptionsDlg::IDC_LANGUAGE_1);
  EXPECT_FALSE(english->isChecked() || chinese->isChecked());
  SelectTab(kTabInfo);
  const std::vector<QString> notConnected = {Box(kMsgNotConnected), Box(kMsgNotConnected)};
  EXPECT_EQ(Boxes(), notConnected) << "every selection of the first tab says so";
  EXPECT_EQ(Field(CInfoDlg::IDC_MODEL), "N/A");

  SelectTab(kTabOptions);
  chinese->click();
  Plug();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Status() == Text(1081); }));
  EXPECT_TRUE(chinese->isChecked()) << "an arrival keeps the options not yet saved";
  const size_t opensBefore = sim_->OpenCount();
  dialog_->OnDeviceChange({DeviceNotice::Kind::Arrival, "/sys/devices/another/hidraw9#col00"});
  EXPECT_EQ(sim_->OpenCount(), opensBefore);
  const std::string path = sim_->Path();
  sim_->Unplug();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Status() == Text(1082); }));
  std::string error;
  ASSERT_TRUE(sim_->Plug(path, error)) << error;
  EXPECT_TRUE(QTest::qWaitFor([&] { return Status() == Text(1081); }));
  EXPECT_EQ(TakeBoxes(), notConnected);
  chinese->click();
  english->click();
  chinese->click();
  DialogItemAs<QAbstractButton>(page, COptionsDlg::IDC_LOAD_ON_STARTUP)->click();
  EXPECT_FALSE(english->isChecked());
  DialogItemAs<QAbstractButton>(page, COptionsDlg::IDC_SAVE)->click();
  EXPECT_EQ(Boxes(), std::vector<QString>{Box(kMsgSaved, kMsgSavedCaption)});
  uint8_t value[4] = {};
  size_t size = sizeof value;
  ASSERT_EQ(key->QueryValue(kLanguageValue, nullptr, value, &size), RegStatus::Success);
  EXPECT_EQ(value[0], 1);
  EXPECT_TRUE(std::filesystem::exists(configFolder_.File("autostart/OrvelleConsole.desktop")));
}

// Two frames: the one chosen is shown, written and kept for the next start; the other's
// comings and goings change the choice offered, never the one shown.
TEST_F(ConsoleTest, WithTwoControllersTheChosenOneIsShownKeptAndTheOnlyOneWritten) {
  Plug({.modelText = "FIRST"});
  std::string error;
  SimulatedController second({.socketPath = DefaultSocketPath(simFolder_.Path(), 0x2A5C, 19, 2),
                              .initialState = {.modelText = "SECOND"}});
  ASSERT_TRUE(second.Start(error)) << error;
  const ControllerState first = sim_->State();
  Start();
  QComboBox* choice = dialog_->ControllerChoice();
  ASSERT_TRUE(choice && choice->isVisibleTo(dialog_.get()));
  EXPECT_EQ(std::tuple(choice->count(), choice->currentIndex(), Field(CInfoDlg::IDC_MODEL)),
            std::tuple(2, 0, QString("FIRST")));
  EXPECT_EQ(choice->itemText(1), "Simulated controller 2A5C:0013 at touch-2a5c-0013-2");
  choice->setCurrentIndex(1);
  emit choice->activated(1);
  EXPECT_EQ(Field(CInfoDlg::IDC_MODEL), "SECOND");
  SelectTab(kTabConfig);
  auto* a12 = DialogItemAs<QComboBox>(*dialog_->Page(kTabConfig), IDC_SWITCH_A12);
  a12->setCurrentIndex(1 - a12->currentIndex());
  emit a12->activated(a12->currentIndex());
  DialogItemAs<QAbstractButton>(*dialog_->Page(kTabConfig), IDC_APPLY)->click();
  EXPECT_NE(second.State().cfg12[0], first.cfg12[0]);
  EXPECT_EQ(sim_->State(), first) << "the other controller is not written";

  sim_->Unplug();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !choice->isVisibleTo(dialog_.get()); }));
  ASSERT_TRUE(sim_->Plug("", error)) << error;
  ASSERT_TRUE(QTest::qWaitFor([&] { return choice->isVisibleTo(dialog_.get()); }));
  EXPECT_EQ(std::tuple(choice->currentIndex(), Status()), std::tuple(1, Text(1081)));
  choice = Start().ControllerChoice();
  EXPECT_EQ(std::tuple(choice->currentIndex(), Field(CInfoDlg::IDC_MODEL)),
            std::tuple(1, QString("SECOND")))
      << "kept for the next start";
  EXPECT_EQ(dialog_->Link().Device(), second.Path());
  EXPECT_EQ(Boxes(), std::vector<QString>{Box(kMsgSaved, kMsgSavedCaption)}) << "the Apply";
}

// Without a notification area the window is only minimised; with one only its icon shows.
TEST_F(ConsoleTest, AHiddenStartLeavesTheTrayIconOrAMinimisedWindow) {
  std::unique_ptr<RegKey> key;
  ASSERT_EQ(registry_.CreateKey(RegRoot::LocalMachine, kStartupSettingsKey, RegAccess::AllAccess,
                                key, nullptr),
            RegStatus::Success);
  ASSERT_EQ(SetDwordValue(*key, kMinimizeWindowOnLoaded, 1), RegStatus::Success);
  ASSERT_EQ(SetDwordValue(*key, kLoadProgramOnStartup, 0), RegStatus::Success);
  environment_.trayAvailable = false;
  Start().ShowInitially();
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialog_->isVisible() && dialog_->isMinimized());

  environment_.trayAvailable = true;
  COrvelleConsoleDlg& dialog = Start();
  dialog.ShowInitially();
  EXPECT_FALSE(dialog.isVisible());
  ASSERT_NE(dialog.TrayIcon(), nullptr);
  EXPECT_EQ(dialog.OnTrayNotify(129, COrvelleConsoleDlg::kLeftButtonDoubleClick), 1);
  EXPECT_EQ(dialog.OnTrayNotify(129, COrvelleConsoleDlg::kRightButtonUp), 1);
  EXPECT_FALSE(dialog.isVisible() || dialog.TrayMenu().isVisible());
  // StatusNotifier hosts send Trigger on a click, XEmbed trays DoubleClick too.
  for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick}) {
    dialog.hide();
    emit dialog.TrayIcon()->activated(reason);
    EXPECT_TRUE(dialog.isVisible()) << reason;
  }

  // Minimising hides the window again; the notification menu's one item ends the console.
  dialog.setWindowState(Qt::WindowMinimized);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }));
  ASSERT_EQ(dialog.TrayMenu().actions().size(), 1);
  bool ended = false;
  QObject::connect(&dialog, &QDialog::finished, [&] { ended = true; });
  dialog.TrayMenu().actions()[0]->trigger();
  EXPECT_TRUE(ended);
}

}  // namespace
}  // namespace orvelle::console
