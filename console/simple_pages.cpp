#include "console/simple_pages.h"

#include "shell/about_dlg.h"
#include "shell/dialog_support.h"

namespace orvelle::console {

TemplatePage::TemplatePage(int templateId, const QString& name, QWidget* parent)
    : ConsolePage(parent) {
  setObjectName(name);
  LoadDialogTemplate(*this, templateId);
}

COrvelleAboutDlg::COrvelleAboutDlg(QWidget* parent)
    : TemplatePage(kTemplateId, QStringLiteral("COrvelleAboutDlg"), parent) {
  ShowApplicationIcon(*this, 48);
}

}  // namespace orvelle::console
