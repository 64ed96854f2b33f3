#pragma once
// The one-way enlargement of the user's double-click area: a finger lands less
// precisely than a mouse, so an area of at most 8 x 8 pixels becomes 24 x 24
// with a 600 ms interval. Nothing restores the old values.

#include <functional>
#include <optional>
#include <string>

#include "platform/registry.h"

namespace orvelle {

inline constexpr const char* kMouseSettingsKey = "Control Panel\\Mouse";

// Message identifiers shown on failure, with the value name as suffix.
inline constexpr int kMsgCannotOpenMouseKey = 1063;
inline constexpr int kMsgCannotReadMouseValue = 1054;
inline constexpr int kMsgCannotWriteMouseValue = 1064;

using MouseMessageFn = std::function<void(int textId, const std::string& suffix)>;

// Where the store is the suite's own (not the system's registry), it starts
// empty: missing values are first filled from the desktop's current settings.
struct DesktopDoubleClick {
  int distance = 0;  // pixels, both axes
  int interval = 0;  // milliseconds
};

// True when the settings were left alone or enlarged; false after a message.
bool ApplyMouseSettings(Registry& registry, const std::optional<DesktopDoubleClick>& desktop,
                        const MouseMessageFn& show);

}  // namespace orvelle
