#pragma once
// Where a user's own files live on Linux desktops, found the same way by every
// program, and never a place that another user could own.

#include <filesystem>
#include <string_view>

namespace orvelle {

// $XDG_CONFIG_HOME when absolute, else ".config" in the home directory ($HOME
// when absolute, else the password database's); empty when there is none.
std::filesystem::path UserConfigFolder();
// The same rule over given values; a null or relative one counts as unset.
std::filesystem::path ConfigFolderFrom(const char* xdgConfigHome, const char* home,
                                       const char* passwdHome);

inline constexpr std::string_view kNoConfigFolderText =
    "There is no folder for this user's settings: XDG_CONFIG_HOME and HOME are not set, and "
    "the password database names no home directory for this user.";

}  // namespace orvelle
