#pragma once
// The choice of controller at the foot of the console's window: the
// controllers found, each named by its identity and port in the pack's words,
// the one shown selected. It shows only while there is a controller to choose
// other than the one shown, so that with one controller the window stays as
// it was.

#include <QString>
#include <string>
#include <vector>

#include "devlink/controller_order.h"

class QComboBox;
class QWidget;

namespace orvelle::console {

QString ControllerName(const FoundController& controller);

// Fills `box` with `found` and selects `shown`, or nothing when it is not
// there; `box` and `label` show or hide together.
void ListControllers(QComboBox& box, QWidget* label, const std::vector<FoundController>& found,
                     const std::string& shown);

// The path of the controller listed at `index`; empty for none.
std::string ListedController(const QComboBox& box, int index);

}  // namespace orvelle::console
