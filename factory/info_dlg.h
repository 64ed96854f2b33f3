#pragma once
// CInfoDlg: the controller's basic information. Only the model text is known
// to this tool; the other fields stay empty.

#include <QDialog>
#include <QString>

namespace orvelle {

class CInfoDlg : public QDialog {
 public:
  enum { IDD = 130 };

  explicit CInfoDlg(const QString& modelText, QWidget* parent = nullptr);

  const QString& ModelText() const { return modelText_; }

 private:
  void DoDataExchange(bool fromControls);

  QString modelText_;  // bound to edit 1007
};

}  // namespace orvelle
