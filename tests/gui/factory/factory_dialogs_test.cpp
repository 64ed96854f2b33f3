// The touch-count, information and about dialogs on their own, and the
// dialog-unit layout they share.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>

#include "factory/about_dlg.h"
#include "factory/dialog_layout.h"
#include "factory/info_dlg.h"
#include "factory/shared_values.h"
#include "factory/touch_num_dlg.h"
#include "shell/dialog_support.h"

namespace orvelle {
namespace {

using factory::DialogBaseUnits;
using factory::DialogToPixels;

constexpr int kFirstChoice = 1009;

std::vector<int> VisibleCounts(QDialog& d) {
  std::vector<int> counts;
  for (size_t i = 0; i < CTouchNumDlg::kCounts.size(); ++i) {
    if (!DialogItem(d, kFirstChoice + static_cast<int>(i))->isHidden()) {
      counts.push_back(CTouchNumDlg::kCounts[i]);
    }
  }
  return counts;
}

void Click(QDialog& d, int id) {
  DialogItemAs<QAbstractButton>(d, id)->click();
}

TEST(TouchNumDlgTest, ChoicesAboveTheMaximumAreHidden) {
  const std::vector<std::pair<int, std::vector<int>>> cases = {
      {0, {}},
      {1, {1}},
      {3, {1, 2}},
      {4, {1, 2, 4}},
      {9, {1, 2, 4, 6}},
      {10, {1, 2, 4, 6, 10}},
      {16, {1, 2, 4, 6, 10, 16}},
  };
  for (const auto& [maximum, visible] : cases) {
    FactorySharedValues shared{{}, maximum, 0};
    CTouchNumDlg d(shared);
    EXPECT_EQ(VisibleCounts(d), visible) << "maximum " << maximum;
    // The selection stays on "单点" even where it is hidden.
    EXPECT_TRUE(DialogItemAs<QAbstractButton>(d, kFirstChoice)->isChecked());
  }
}

TEST(TouchNumDlgTest, CurrentCountOutsideTheListIsSentUnlessAChoiceIsClicked) {
  FactorySharedValues shared{{}, 16, 3};
  {
    CTouchNumDlg d(shared);
    EXPECT_EQ(d.SelectionIndex(), 0);
    EXPECT_TRUE(DialogItemAs<QAbstractButton>(d, kFirstChoice)->isChecked());
    Click(d, 1);  // OK
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(shared.touchCount, 3);
  }
  CTouchNumDlg d(shared);
  Click(d, kFirstChoice);
  Click(d, 1);
  EXPECT_EQ(shared.touchCount, 1);
}

TEST(InfoDlgTest, ShowsTheModelTextWholeAndReadOnly) {
  CInfoDlg d(QStringLiteral("OVT-6510"));
  auto* model = DialogItemAs<QLineEdit>(d, 1007);
  EXPECT_EQ(model->text(), QStringLiteral("OVT-6510"));
  EXPECT_TRUE(model->isReadOnly());
}

TEST(DialogLayoutTest, DialogUnitsRoundAsWindowsDoes) {
  EXPECT_EQ(factory::MulDiv(5, 3, 2), 8);    // 7.5 rounds up
  EXPECT_EQ(factory::MulDiv(-5, 3, 2), -8);  // and away from zero
  EXPECT_EQ(factory::MulDiv(7, 6, 4), 11);   // 10.5
  EXPECT_EQ(factory::MulDiv(1, 1, 0), -1);
  // 宋体 9 pt on Windows: base units 6 × 12.
  EXPECT_EQ(DialogToPixels(QRect(62, 80, 72, 30), DialogBaseUnits{6, 12}), QRect(93, 120, 108, 45));
}

TEST(DialogLayoutTest, ChineseCaptionsAreNotClipped) {
  FactorySharedValues shared{{}, 16, 4};
  CTouchNumDlg touch(shared);
  CInfoDlg info(QStringLiteral("OVT-6510"));
  factory::CAboutDlg about;
  for (QDialog* d : std::initializer_list<QDialog*>{&touch, &info, &about}) {
    for (QWidget* w : d->findChildren<QWidget*>()) {
      if (qobject_cast<QLabel*>(w) || qobject_cast<QRadioButton*>(w)) {
        EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
      }
    }
  }
  auto* model = DialogItemAs<QLineEdit>(info, 1007);
  EXPECT_LE(model->fontMetrics().horizontalAdvance(model->text()), model->contentsRect().width());
}

TEST(AboutDlgTest, ShowsTheIconAndEndsWithOk) {
  factory::CAboutDlg d;
  const auto labels = d.findChildren<QLabel*>();
  EXPECT_TRUE(
      std::any_of(labels.begin(), labels.end(), [](QLabel* l) { return !l->pixmap().isNull(); }));
  Click(d, 1);
  EXPECT_EQ(d.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace orvelle
