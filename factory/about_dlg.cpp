#include "factory/about_dlg.h"

#include "factory/dialog_layout.h"
#include "shell/dialog_support.h"

namespace orvelle::factory {

namespace {

const DialogControl kControls[] = {
    {ControlKind::Icon, 0, u"", {11, 17, 20, 20}},
    {ControlKind::Static, 0, u"OrvelleFactoryConfig2 1.0 版", {40, 23, 119, 8}},
    {ControlKind::DefPushButton, 1, u"确定", {178, 7, 50, 14}},
};

const DialogTemplate kDialog = {u"关于 OrvelleFactoryConfig2", {235, 55}, u"宋体", 9};

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  BuildDialog(*this, kDialog, kControls);
  ConnectOkCancel(*this);
}

}  // namespace orvelle::factory
