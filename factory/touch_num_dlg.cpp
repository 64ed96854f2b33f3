#include "factory/touch_num_dlg.h"

#include <QAbstractButton>

#include "factory/dialog_layout.h"
#include "factory/shared_values.h"
#include "shell/dialog_support.h"

namespace orvelle {

namespace {

using factory::ControlKind;
using factory::DialogControl;

constexpr int kFirstRadio = 1009;  // 1009..1014 stand for the counts, in order

const DialogControl kControls[] = {
    {ControlKind::Static, 0, u"请选择最大输出点数", {29, 19, 72, 8}},
    {ControlKind::Radio, 1009, u"单点", {53, 41, 32, 10}},
    {ControlKind::Radio, 1010, u"2点", {154, 41, 28, 10}},
    {ControlKind::Radio, 1011, u"4点", {53, 64, 28, 10}},
    {ControlKind::Radio, 1012, u"6点", {154, 64, 28, 10}},
    {ControlKind::Radio, 1013, u"10点", {53, 88, 32, 10}},
    {ControlKind::Radio, 1014, u"16点", {154, 87, 32, 10}},
    {ControlKind::DefPushButton, 1, u"确定", {74, 135, 62, 23}},
    {ControlKind::PushButton, 2, u"取消", {175, 135, 62, 23}},
};

const factory::DialogTemplate kDialog = {u"触点个数设置", {295, 172}, u"MS Shell Dlg", 8};

int IndexOfCount(int count) {
  for (size_t i = 1; i < CTouchNumDlg::kCounts.size(); ++i) {
    if (CTouchNumDlg::kCounts[i] == count) return static_cast<int>(i);
  }
  // 1, 0 and counts outside the list.
  return 0;
}

}  // namespace

CTouchNumDlg::CTouchNumDlg(FactorySharedValues& shared, QWidget* parent)
    : QDialog(parent),
      shared_(shared),
      selectionIndex_(IndexOfCount(shared.touchCount)),
      maximumSupported_(shared.touchMaximum),
      chosenCount_(shared.touchCount) {
  factory::BuildDialog(*this, kDialog, kControls);
  for (size_t i = 0; i < kCounts.size(); ++i) {
    OnClicked(*this, kFirstRadio + static_cast<int>(i), [this] { OnRadioClicked(); });
  }
  OnClicked(*this, 1, [this] { OnOK(); });
  OnClicked(*this, 2, [this] { reject(); });
  OnInitDialog();
}

void CTouchNumDlg::OnInitDialog() {
  // Choices above what the controller delivers are hidden, not removed: the
  // current count may still be the selected one.
  const int m = maximumSupported_;
  const bool hide[] = {m <= 0, m < 2, m < 4, m < 6, m < 10, m < 16};
  for (size_t i = 0; i < kCounts.size(); ++i) {
    if (QWidget* radio = DialogItem(*this, kFirstRadio + static_cast<int>(i))) {
      radio->setVisible(!hide[i]);
    }
  }
  DoDataExchange(false);
}

void CTouchNumDlg::DoDataExchange(bool fromControls) {
  for (size_t i = 0; i < kCounts.size(); ++i) {
    auto* radio = DialogItemAs<QAbstractButton>(*this, kFirstRadio + static_cast<int>(i));
    if (!radio) continue;
    if (fromControls) {
      if (radio->isChecked()) selectionIndex_ = static_cast<int>(i);
    } else if (static_cast<int>(i) == selectionIndex_) {
      radio->setChecked(true);
    }
  }
}

void CTouchNumDlg::OnRadioClicked() {
  DoDataExchange(true);
  if (selectionIndex_ >= 0 && selectionIndex_ < static_cast<int>(kCounts.size())) {
    chosenCount_ = kCounts[static_cast<size_t>(selectionIndex_)];
  }
}

void CTouchNumDlg::OnOK() {
  shared_.touchCount = chosenCount_;
  DoDataExchange(true);
  done(Accepted);
}

}  // namespace orvelle
