#pragma once
// CAboutDlg: the about box of the console and the calibration program
// (template 100 of their language packs).

#include <QDialog>

namespace orvelle {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 100;
  explicit CAboutDlg(QWidget* parent = nullptr);
};

// Puts the pack's application icon (128) into the template's label id128,
// when both exist.
void ShowApplicationIcon(QWidget& dialog, int size = 32);

}  // namespace orvelle
