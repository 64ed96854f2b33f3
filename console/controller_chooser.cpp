#include "console/controller_chooser.h"

#include <QComboBox>

#include "shell/language_library.h"

namespace orvelle::console {
namespace {

constexpr int kControllerName = 1130;           // %1 vendor:product, %2 the port
constexpr int kSimulatedControllerName = 1131;  // the same for a simulator's

QString Hex4(uint16_t value) {
  return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

QString ControllerName(const FoundController& controller) {
  return LoadResourceString(controller.simulated ? kSimulatedControllerName : kControllerName)
      .arg(Hex4(controller.vendorId) + ':' + Hex4(controller.productId),
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
