#include "console/core/logon_entry.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

#include "platform/registry.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace orvelle::console {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kExecReserved = " \t\n\"'\\><~|&;$*?#()`";
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

#ifndef _WIN32
// Writes a sibling temporary file, flushes it to disk and renames it over
// `path`, so a crash leaves the old entry or the new one, never half of one.
bool WriteAtomically(const fs::path& path, const std::string& content) {
  const fs::path temporary = path.string() + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const bool ok = written == content.size() && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}
#else
bool WriteAtomically(const fs::path& path, const std::string& content) {
  const fs::path temporary = path.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!(out << content) || !out.flush()) return false;
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  if (error) fs::remove(temporary, error);
  return !error;
}
#endif

class AutostartEntry : public LogonEntry {
 public:
  explicit AutostartEntry(fs::path folder) : folder_(std::move(folder)) {}

  LogonResult Add(const std::string& programPath) override {
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error) return LogonResult::Failed;
    const std::string content =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=OrvelleConsole\n"
        "Comment=Touch frame control panel\n"
        "Exec=" + DesktopExecArgument(programPath) + "\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    return WriteAtomically(File(), content) ? LogonResult::Done : LogonResult::Failed;
  }

  LogonResult Remove() override {
    std::error_code error;
    fs::remove(File(), error);  // false without error when there was none
    return error ? LogonResult::Failed : LogonResult::Done;
  }

 private:
  fs::path File() const { return folder_ / (std::string(kLogonEntryName) + ".desktop"); }
  const fs::path folder_;
};

class RunValueEntry : public LogonEntry {
 public:
  explicit RunValueEntry(Registry& registry) : registry_(registry) {}

  LogonResult Add(const std::string& programPath) override {
    std::unique_ptr<RegKey> key;
    if (registry_.OpenKey(RegRoot::LocalMachine, kRunKey, RegAccess::Write, key) !=
        RegStatus::Success) {
      return LogonResult::Unavailable;
    }
    return SetStringValue(*key, kLogonEntryName, RunValueCommand(programPath)) ==
                   RegStatus::Success
               ? LogonResult::Done
               : LogonResult::Failed;
  }

  LogonResult Remove() override {
    std::unique_ptr<RegKey> key;
    if (registry_.OpenKey(RegRoot::LocalMachine, kRunKey, RegAccess::Write, key) !=
        RegStatus::Success) {
      return LogonResult::Unavailable;
    }
    const RegStatus status = key->DeleteValue(kLogonEntryName);
    return status == RegStatus::Success || status == RegStatus::FileNotFound ? LogonResult::Done
                                                                              : LogonResult::Failed;
  }

 private:
  Registry& registry_;
};

}  // namespace

std::unique_ptr<LogonEntry> MakeAutostartEntry(fs::path folder) {
  return std::make_unique<AutostartEntry>(std::move(folder));
}

fs::path DefaultAutostartFolder() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/') {
    return fs::path(config) / "autostart";
  }
  const char* home = std::getenv("HOME");
  return fs::path(home ? home : "") / ".config" / "autostart";
}

std::unique_ptr<LogonEntry> MakeRunValueEntry(Registry& registry) {
  return std::make_unique<RunValueEntry>(registry);
}

std::unique_ptr<LogonEntry> MakeSystemLogonEntry([[maybe_unused]] Registry& registry) {
#ifdef _WIN32
  return MakeRunValueEntry(registry);
#else
  return MakeAutostartEntry(DefaultAutostartFolder());
#endif
}

std::string DesktopExecArgument(std::string_view argument) {
  std::string quoted;
  const bool needsQuotes =
      argument.empty() || argument.find_first_of(kExecReserved) != std::string_view::npos;
  if (needsQuotes) quoted += '"';
  for (char c : argument) {
    if (needsQuotes && kEscapedInQuotes.find(c) != std::string_view::npos) quoted += '\\';
    quoted += c;
    if (c == '%') quoted += '%';  // a lone '%' would start a field code
  }
  if (needsQuotes) quoted += '"';
  // The file format's own string escapes apply on top of the quoting.
  std::string value;
  for (char c : quoted) {
    switch (c) {
      case '\\': value += "\\\\"; break;
      case '\n': value += "\\n"; break;
      case '\t': value += "\\t"; break;
      case '\r': value += "\\r"; break;
      default: value += c;
    }
  }
  return value;
}

std::string RunValueCommand(std::string_view programPath) {
  if (programPath.find(' ') == std::string_view::npos) return std::string(programPath);
  return "\"" + std::string(programPath) + "\"";
}

}  // namespace orvelle::console
