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

// The counts offered, as "1 2 4".
std::string VisibleCounts(QDialog& d) {
  std::string counts;
  for (size_t i = 0; i < CTouchNumDlg::kCounts.size(); ++i) {
    if (!DialogItem(d, kFirstChoice + static_cast<int>(i))->isHidden())
      counts += (counts.empty() ? "" : " ") + std::to_string(CTouchNumDlg::kCounts[i]);
  }
  return counts;
}

void Click(QDialog& d, int id) {
  DialogItemAs<QAbstractButton>(d, id)->click();
}

// The selection stays on "单点" even where it is hidden.
TEST(TouchNumDlgTest, ChoicesAboveTheMaximumAreHidden) {
  const std::pair<int, std::string> cases[] = {
      {0, ""},        {1, "1"},           {3, "1 2"},           {4, "1 2 4"},
      {9, "1 2 4 6"}, {10, "1 2 4 6 10"}, {16, "1 2 4 6 10 16"}};
  for (const auto& [maximum, visible] : cases) {
    FactorySharedValues shared{{}, maximum, 0};
    CTouchNumDlg d(shared);
    EXPECT_EQ(VisibleCounts(d), visible) << "maximum " << maximum;
    EXPECT_TRUE(DialogItemAs<QAbstractButton>(d, kFirstChoice)->isChecked());
  }
}

// OK alone keeps the current count: the main window's test sends it.
TEST(TouchNumDlgTest, AClickedChoiceReplacesTheCurrentCount) {
  FactorySharedValues shared{{}, 16, 3};
  CTouchNumDlg d(shared);
  Click(d, kFirstChoice);
  Click(d, 1);  // OK
  EXPECT_EQ(shared.touchCount, 1);
}

TEST(DialogLayoutTest, DialogUnitsRoundAsWindowsDoes) {
  // Half rounds away from zero; a zero divisor gives -1.
  const std::tuple<int, int, int, int> cases[] = {
      {5, 3, 2, 8}, {-5, 3, 2, -8}, {7, 6, 4, 11}, {1, 1, 0, -1}};
  for (const auto& [number, numerator, denominator, result] : cases)
    EXPECT_EQ(factory::MulDiv(number, numerator, denominator), result)
        << number << "*" << numerator << "/" << denominator;
  // 宋体 9 pt on Windows: base units 6 × 12.
  EXPECT_EQ(DialogToPixels(QRect(62, 80, 72, 30), DialogBaseUnits{6, 12}), QRect(93, 120, 108, 45));
}

// The model text is shown whole and read-only; the about box shows its icon
// and ends with OK.
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
  EXPECT_TRUE(model->isReadOnly());
  EXPECT_LE(model->fontMetrics().horizontalAdvance(model->text()), model->contentsRect().width());
  const auto labels = about.findChildren<QLabel*>();
  EXPECT_TRUE(
      std::any_of(labels.begin(), labels.end(), [](QLabel* l) { return !l->pixmap().isNull(); }));
  Click(about, 1);
  EXPECT_EQ(about.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace orvelle
