#pragma once
// CAboutDlg: the factory tool's name, version and icon (its own, in
// Chinese; the other programs' about box comes from their language packs).

#include <QDialog>

namespace orvelle::factory {

class CAboutDlg : public QDialog {
 public:
  enum { IDD = 100 };

  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace orvelle::factory
