#pragma once
// The page that only shows its template: the about page.

#include "console/console_page.h"

namespace orvelle::console {

class COrvelleAboutDlg : public ConsolePage {
 public:
  static constexpr int kTemplateId = 134;
  explicit COrvelleAboutDlg(QWidget* parent = nullptr);
};

}  // namespace orvelle::console
