#include "console/options_dlg.h"

#include "shell/dialog_support.h"
#include "shell/resource_message.h"

namespace orvelle::console {
namespace {

void ShowOptionsMessage(int textId, int captionId, const std::string& suffix) {
  const unsigned icon = textId == kMsgSaved ? kMbIconInformation : kMbIconError;
  ShowResourceMessage(textId, captionId, kMbOk | icon, QString::fromStdString(suffix));
}

}  // namespace

COptionsDlg::COptionsDlg(Registry& registry, LogonEntry& logonEntry, const std::string& programPath,
                         QWidget* parent)
    : ConsolePage(parent), settings_(registry, logonEntry, programPath, ShowOptionsMessage) {
  setObjectName(QStringLiteral("COptionsDlg"));
  LoadDialogTemplate(*this, kTemplateId);
  settings_.Load();
  ConnectButtons();
}

void COptionsDlg::ConnectButtons() {
  StartupOptions& o = settings_.Options();
  OnClicked(*this, IDC_LANGUAGE_0, [this, &o] {
    if (!IsButtonChecked(*this, IDC_LANGUAGE_0)) return;
    o.languageCode = 0;
    SetButtonChecked(*this, IDC_LANGUAGE_1, false);
  });
  OnClicked(*this, IDC_LANGUAGE_1, [this, &o] {
    if (!IsButtonChecked(*this, IDC_LANGUAGE_1)) return;
    o.languageCode = 1;
    SetButtonChecked(*this, IDC_LANGUAGE_0, false);
  });
  OnClicked(*this, IDC_LOAD_ON_STARTUP,
            [this, &o] { o.loadProgramOnStartup = IsButtonChecked(*this, IDC_LOAD_ON_STARTUP); });
  OnClicked(*this, IDC_MINIMIZE_ON_LOADED,
            [this, &o] { o.minimizeWindowOnLoaded = IsButtonChecked(*this, IDC_MINIMIZE_ON_LOADED); });
  OnClicked(*this, IDC_SAVE, [this] { settings_.SaveSettings(); });
}

void COptionsDlg::ShowSettings() {
  const StartupOptions& o = settings_.Options();
  SetButtonChecked(*this, IDC_LANGUAGE_0, o.languageCode == 0);
  SetButtonChecked(*this, IDC_LANGUAGE_1, o.languageCode == 1);
  SetButtonChecked(*this, IDC_LOAD_ON_STARTUP, o.loadProgramOnStartup);
  SetButtonChecked(*this, IDC_MINIMIZE_ON_LOADED, o.minimizeWindowOnLoaded);
}

}  // namespace orvelle::console
