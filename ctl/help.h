#pragma once
// orvellectl's documentation: the general help, or one command's.

#include <string>

namespace orvelle::ctl {

// `topic` is a command ("config"), or empty for the overview.
std::string HelpText(const std::string& topic);

}  // namespace orvelle::ctl
