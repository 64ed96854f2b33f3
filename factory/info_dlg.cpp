#include "factory/info_dlg.h"

#include "factory/dialog_layout.h"
#include "shell/dialog_support.h"

namespace orvelle {

namespace {

using factory::ControlKind;
using factory::DialogControl;

const DialogControl kInfoControls[] = {
    {ControlKind::GroupBox, 0, u"基本信息", {21, 16, 258, 120}},
    {ControlKind::Static, 0, u"尺寸", {37, 42, 17, 8}},
    {ControlKind::ReadOnlyEdit, 1015, u"", {71, 39, 40, 14}},
    {ControlKind::Static, 0, u"模块数", {81, 69, 23, 8}},
    {ControlKind::Static, 0, u"灯数", {146, 69, 16, 8}},
    {ControlKind::Static, 0, u"X轴", {38, 84, 13, 8}},
    {ControlKind::ReadOnlyEdit, 1016, u"", {71, 84, 40, 14}},
    {ControlKind::ReadOnlyEdit, 1018, u"", {123, 84, 127, 14}},
    {ControlKind::Static, 0, u"Y轴", {38, 106, 12, 8}},
    {ControlKind::ReadOnlyEdit, 1017, u"", {72, 105, 40, 14}},
    {ControlKind::ReadOnlyEdit, 1019, u"", {123, 106, 127, 14}},
    {ControlKind::GroupBox, 0, u"版本信息", {21, 150, 253, 131}},
    {ControlKind::Static, 0, u"型号", {39, 174, 17, 8}},
    {ControlKind::ReadOnlyEdit, 1007, u"", {75, 172, 54, 14}},
    {ControlKind::Static, 0, u"硬件版本", {39, 201, 31, 8}},
    {ControlKind::Edit, 1020, u"", {78, 199, 40, 14}},
    {ControlKind::Static, 0, u"固件版本", {39, 224, 31, 8}},
    {ControlKind::Static, 0, u"序列号", {40, 249, 23, 8}},
    {ControlKind::DefPushButton, 1, u"确定", {119, 295, 50, 19}},
};

const factory::DialogTemplate kInfoDialog = {u"触摸屏信息", {294, 332}, u"宋体", 10};

}  // namespace

CInfoDlg::CInfoDlg(const QString& modelText, QWidget* parent)
    : QDialog(parent), modelText_(modelText) {
  factory::BuildDialog(*this, kInfoDialog, kInfoControls);
  ConnectOkCancel(*this);
  DoDataExchange(false);
}

void CInfoDlg::DoDataExchange(bool fromControls) {
  DataExchange dx(*this, fromControls ? DataExchange::Direction::FromControls
                                      : DataExchange::Direction::ToControls);
  dx.Text(1007, modelText_);
}

}  // namespace orvelle
