#include "console/about_page.h"

#include "shell/about_dlg.h"
#include "shell/dialog_support.h"

namespace orvelle::console {

COrvelleAboutDlg::COrvelleAboutDlg(QWidget* parent) : ConsolePage(parent) {
  setObjectName(QStringLiteral("COrvelleAboutDlg"));
  LoadDialogTemplate(*this, kTemplateId);
  ShowApplicationIcon(*this, 48);
}

}  // namespace orvelle::console
