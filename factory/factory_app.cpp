#include "factory/factory_app.h"

#include <QApplication>

#include "devlink/hid/default_bus.h"
#include "devlink/link_profile.h"
#include "devlink/usb_transfer.h"
#include "factory/factory_dlg.h"
#include "factory/factory_icon.h"

namespace orvelle {

std::unique_ptr<CUSBTransfer> COrvelleFactoryConfig2App::MakeProductionLink() {
  return std::make_unique<CUSBTransfer>(LinkProfile::Factory(), MakeDefaultBus());
}

COrvelleFactoryConfig2App::COrvelleFactoryConfig2App()
    : COrvelleFactoryConfig2App(MakeProductionLink) {}

COrvelleFactoryConfig2App::COrvelleFactoryConfig2App(LinkFactory makeLink)
    : makeLink_(std::move(makeLink)) {}

bool COrvelleFactoryConfig2App::InitInstance() {
  QApplication::setWindowIcon(factory::AppIcon());
  COrvelleFactoryConfig2Dlg dialog(makeLink_());
  mainWindow_ = &dialog;
  dialogResult_ = dialog.DoModal();
  mainWindow_ = nullptr;
  return false;
}

}  // namespace orvelle
