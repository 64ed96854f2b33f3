#pragma once
// The pages that only show their template: the about page, and until its
// own issue lands, the configuration page, which already takes the frames the
// main window routes to it.

#include "console/console_page.h"

namespace orvelle::console {

class TemplatePage : public ConsolePage {
 public:
  TemplatePage(int templateId, const QString& name, QWidget* parent);
};

class COrvelleAboutDlg : public TemplatePage {
 public:
  static constexpr int kTemplateId = 134;
  explicit COrvelleAboutDlg(QWidget* parent = nullptr);
};

// Stands in for a page that is still to be built: it counts the frames it is
// given, so that the routing can be seen working.
class PendingPage : public TemplatePage {
 public:
  using TemplatePage::TemplatePage;
  void HandleFrame(std::span<const uint8_t>) override { ++framesHandled_; }
  int FramesHandled() const { return framesHandled_; }

 private:
  int framesHandled_ = 0;
};

class CConfigDlg : public PendingPage {
 public:
  static constexpr int kTemplateId = 131;
  explicit CConfigDlg(QWidget* parent = nullptr)
      : PendingPage(kTemplateId, QStringLiteral("CConfigDlg"), parent) {}
};

}  // namespace orvelle::console
