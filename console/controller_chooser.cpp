#include "console/controller_chooser.h"

#include <QComboBox>

#include "platform/hex_text.h"
#include "shell/language_library.h"

namespace orvelle::console {
namespace {

constexpr int kControllerName = 1130;           // %1 vendor:product, %2 the port
constexpr int kSimulatedControllerName = 1131;  // the same for a simulator's

QString UpperHex4(uint16_t value) {
  return QString::fromStdString(Hex4(value)).toUpper();
}

}  // namespace

QString ControllerName(const FoundController& controller) {
  return LoadResourceString(controller.simulated ? kSimulatedControllerName : kControllerName)
      .arg(UpperHex4(controller.vendorId) + ':' + UpperHex4(controller.productId),
           QString::fromStdString(PortName(controller.path)));
}

void ListControllers(QComboBox& box, QWidget* label, const std::vector<FoundController>& found,
                     const std::string& shown) {
  box.clear();
  int selected = -1;
  for (const FoundController& controller : found) {
    if (controller.path == shown) selected = box.count();
    box.addItem(ControllerName(controller), QString::fromStdString(controller.path));
  }
  box.setCurrentIndex(selected);
  const bool choice = found.size() > 1 || (found.size() == 1 && selected < 0);
  box.setVisible(choice);
  if (label) label->setVisible(choice);
}

std::string ListedController(const QComboBox& box, int index) {
  return box.itemData(index).toString().toStdString();
}

}  // namespace orvelle::console
