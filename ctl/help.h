#pragma once
// orvellectl's documentation: the general help, or one command's, and the
// lists of terms that the manual page and the completion are written from.

#include <string>
#include <vector>

namespace orvelle::ctl {

// `topic` is a command ("config"), or empty for the overview.
std::string HelpText(const std::string& topic);

// A term and what it means: a command line, an option, a setting, an exit
// status.
struct ReferenceEntry {
  std::string term;
  std::string meaning;
};
std::vector<ReferenceEntry> CommandEntries();
std::vector<ReferenceEntry> OptionEntries();
// Keys of one group that accept the same values share an entry.
std::vector<ReferenceEntry> SettingEntries();
std::vector<ReferenceEntry> ExitStatusEntries();

}  // namespace orvelle::ctl
