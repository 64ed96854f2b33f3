#pragma once
// COptionsDlg: the language of both programs, the start at log-on and the
// hidden start. Clicks change the page's settings only; the save button
// writes them.

#include <memory>

#include "console/console_page.h"
#include "console/core/startup_options.h"

namespace orvelle::console {

class COptionsDlg : public ConsolePage {
 public:
  static constexpr int kTemplateId = 133;
  enum : int {
    IDC_LANGUAGE_0 = 1054,
    IDC_LANGUAGE_1 = 1055,
    IDC_LOAD_ON_STARTUP = 1056,
    IDC_MINIMIZE_ON_LOADED = 1057,
    IDC_SAVE = 1058,
  };

  // Reads the settings (the page's creation); messages go to the user.
  COptionsDlg(Registry& registry, LogonEntry& logonEntry, const std::string& programPath,
              QWidget* parent = nullptr);

  // The tab was selected: the buttons show the settings.
  void Refresh() override { ShowSettings(); }
  void ShowSettings();
  bool SaveSettings() { return settings_.SaveSettings(); }

  const StartupOptions& Options() const { return settings_.Options(); }
  bool MinimizeWindowOnLoaded() const { return settings_.Options().minimizeWindowOnLoaded; }

 private:
  void ConnectButtons();

  OptionsSettings settings_;
};

}  // namespace orvelle::console
