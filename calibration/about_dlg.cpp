#include "calibration/about_dlg.h"

#include <QLabel>

#include "shell/dialog_support.h"
#include "shell/language_library.h"

namespace orvelle {
namespace {

constexpr int kAppIcon = 128;
constexpr int kIconSize = 32;

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  LoadDialogTemplate(*this, kTemplateId);
  const LanguageLibrary* library = CurrentLanguageLibrary();
  const QIcon icon = library ? library->Icon(kAppIcon) : QIcon();
  if (auto* label = DialogItemAs<QLabel>(*this, kAppIcon); label && !icon.isNull()) {
    label->setPixmap(icon.pixmap(kIconSize, kIconSize));
  }
  ConnectOkCancel(*this);
}

}  // namespace orvelle
