#pragma once
// Which controller the console shows when several are plugged in: the one the
// user chose last, kept by its path (which follows the USB port) in the
// user's settings, when it is there; else the first as ranked. orvellectl
// tells the same.

#include <string>
#include <vector>

#include "devlink/controller_order.h"

namespace orvelle {
class Registry;
}

namespace orvelle::console {

// Under the user's "Software\Orvelle\ConsoleSettings".
inline constexpr const char* kShownControllerValue = "Controller";

// The path kept by RememberController; empty when none is kept or it cannot
// be read (the console then shows the first controller).
std::string RememberedController(Registry& registry);
bool RememberController(Registry& registry, const std::string& controllerPath);

// The path of the controller to show among `found` (ranked as
// FindControllers ranks them); empty when none was found.
std::string ControllerToShow(const std::vector<FoundController>& found,
                             const std::string& remembered);

}  // namespace orvelle::console
