#pragma once
// The entry that starts the console when the user logs on: an XDG autostart
// file on Linux desktops, the "Run" value in the settings store on Windows.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace orvelle {
class Registry;
}

namespace orvelle::console {

enum class LogonResult {
  Done,         // the entry is as wanted
  Unavailable,  // the place for entries cannot be opened; nothing was changed
  Failed,       // the entry could not be written or removed
};

class LogonEntry {
 public:
  virtual ~LogonEntry() = default;
  // Starts `programPath`, without arguments, at log-on.
  virtual LogonResult Add(const std::string& programPath) = 0;
  // Removing an entry that does not exist is done: the wanted state holds.
  virtual LogonResult Remove() = 0;
};

inline constexpr const char* kLogonEntryName = "OrvelleConsole";
inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// "<folder>/OrvelleConsole.desktop", written atomically; without a folder
// adding fails with a message on standard error.
std::unique_ptr<LogonEntry> MakeAutostartEntry(std::filesystem::path folder);
#ifndef _WIN32
// "autostart" in the user's configuration folder; empty when there is none.
std::filesystem::path DefaultAutostartFolder();
#endif
// The value "OrvelleConsole" under the Run key of HKEY_CURRENT_USER.
std::unique_ptr<LogonEntry> MakeRunValueEntry(Registry& registry);
// The platform's own: the Run value on Windows, else the autostart file.
std::unique_ptr<LogonEntry> MakeSystemLogonEntry(Registry& registry);

// One argument of a desktop entry's Exec key, quoted and escaped as the
// freedesktop.org desktop entry format requires (reserved characters, '%',
// and the string escapes of the file format).
std::string DesktopExecArgument(std::string_view argument);
// A Run value's command: a path with a blank goes in double quotes, or
// Windows would try its leading words as programs.
std::string RunValueCommand(std::string_view programPath);

}  // namespace orvelle::console
