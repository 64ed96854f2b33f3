#include "shell/about_dlg.h"

#include <QLabel>

#include "shell/dialog_support.h"
#include "shell/language_library.h"

namespace orvelle {
namespace {

constexpr int kAppIcon = 128;

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  LoadDialogTemplate(*this, kTemplateId);
  ShowApplicationIcon(*this);
  ConnectOkCancel(*this);
}

void ShowApplicationIcon(QWidget& dialog, int size) {
  const LanguageLibrary* library = CurrentLanguageLibrary();
  const QIcon icon = library ? library->Icon(kAppIcon) : QIcon();
  if (auto* label = DialogItemAs<QLabel>(dialog, kAppIcon); label && !icon.isNull()) {
    label->setPixmap(icon.pixmap(size, size));
  }
}

}  // namespace orvelle
