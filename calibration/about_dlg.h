#pragma once
// CAboutDlg: the calibration program's about box (template 100).

#include <QDialog>

namespace orvelle {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 100;
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace orvelle
