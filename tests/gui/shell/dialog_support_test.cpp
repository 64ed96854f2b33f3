// Templates from a pack become the program's dialogs; controls are found,
// connected and exchanged by identifier.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

#include "shell/dialog_support.h"
#include "shell/language_library.h"

namespace orvelle {
namespace {

class DialogSupportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.Load("ShellTestPack", {ORVELLE_SHELL_TEST_PACK_DIR}));
    SetCurrentLanguageLibrary(&library_);
    ASSERT_TRUE(LoadDialogTemplate(dialog_, 500));
  }
  void TearDown() override { SetCurrentLanguageLibrary(nullptr); }

  LanguageLibrary library_;
  QDialog dialog_;
};

TEST_F(DialogSupportTest, TemplateBecomesTheDialogAndHandlersRunForTheUsersActions) {
  EXPECT_EQ(dialog_.windowTitle(), "Template 500");
  EXPECT_EQ(dialog_.size(), QSize(320, 200));
  auto* apply = DialogItemAs<QPushButton>(dialog_, 1037);
  ASSERT_NE(apply, nullptr);
  EXPECT_EQ(apply->window(), &dialog_) << "no second window";
  dialog_.show();
  EXPECT_EQ(apply->mapTo(&dialog_, QPoint(0, 0)), QPoint(10, 160));
  EXPECT_EQ(DialogItem(dialog_, 9999), nullptr);
  QDialog other;
  EXPECT_FALSE(LoadDialogTemplate(other, 4242));

  // Handlers run for the user's actions only.
  int applied = 0, selected = 0;
  EXPECT_TRUE(OnClicked(dialog_, 1037, [&] { ++applied; }));
  EXPECT_TRUE(OnSelectionChange(dialog_, 1022, [&] { ++selected; }));
  EXPECT_FALSE(OnClicked(dialog_, 1022, [] {})) << "a combo box is no button";
  EXPECT_FALSE(OnSelectionChange(dialog_, 9999, [] {}));

  DialogItemAs<QPushButton>(dialog_, 1037)->click();
  auto* combo = DialogItemAs<QComboBox>(dialog_, 1022);
  combo->setCurrentIndex(1);  // the program's own change notifies nobody
  emit combo->activated(0);   // as when the user picks an item
  EXPECT_EQ(applied, 1);
  EXPECT_EQ(selected, 1);

  ConnectOkCancel(dialog_);
  DialogItemAs<QPushButton>(dialog_, 2)->click();
  EXPECT_EQ(dialog_.result(), QDialog::Rejected);
  DialogItemAs<QPushButton>(dialog_, 1)->click();
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
}

struct PageData {
  QString status = "Touch controller connected";
  int value = 12;
  int spin = 7;
  bool logOn = true;
  int index = 1;
  int level = 4;
  bool operator==(const PageData&) const = default;
};

void Exchange(DataExchange& dx, PageData& d) {
  dx.Text(1020, d.status);
  dx.Text(1043, d.value);
  dx.Position(1044, d.spin);
  dx.Check(1056, d.logOn);
  dx.ComboIndex(1022, d.index);
  dx.Position(1059, d.level);
}

TEST_F(DialogSupportTest, DataGoesToTheControlsAndComesBackBadNumbersAreReported) {
  PageData out;
  DataExchange to(dialog_, DataExchange::Direction::ToControls);
  Exchange(to, out);
  EXPECT_TRUE(to.Ok());
  EXPECT_EQ(DialogItemAs<QLabel>(dialog_, 1020)->text(), out.status);
  EXPECT_EQ(DialogItemAs<QLineEdit>(dialog_, 1043)->text(), "12");
  EXPECT_TRUE(DialogItemAs<QCheckBox>(dialog_, 1056)->isChecked());

  DialogItemAs<QLineEdit>(dialog_, 1043)->setText(" -5 ");
  DialogItemAs<QSlider>(dialog_, 1059)->setValue(2);
  PageData in{"", 0, 0, false, 0, 0};
  DataExchange from(dialog_, DataExchange::Direction::FromControls);
  Exchange(from, in);
  EXPECT_TRUE(from.Ok());
  EXPECT_EQ(in, (PageData{.value = -5, .level = 2}));

  // A text that is no number leaves the member alone; a missing control fails.
  DialogItemAs<QLineEdit>(dialog_, 1043)->setText("12a");
  int value = 3;
  from.Text(1043, value);
  EXPECT_FALSE(from.Ok());
  EXPECT_EQ(value, 3);
  bool flag = false;
  to.Check(9999, flag);
  EXPECT_FALSE(to.Ok());
}

}  // namespace
}  // namespace orvelle
