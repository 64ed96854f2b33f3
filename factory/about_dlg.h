#pragma once
// CAboutDlg: the program's name, version and icon.

#include <QDialog>

namespace orvelle {

class CAboutDlg : public QDialog {
 public:
  enum { IDD = 100 };

  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace orvelle
