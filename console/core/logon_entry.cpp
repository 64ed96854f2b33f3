#include "console/core/logon_entry.h"

#include <cstdio>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/registry.h"
#include "platform/user_folders.h"

namespace orvelle::console {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kExecReserved = " \t\n\"'\\><~|&;$*?#()`";
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

class AutostartEntry : public LogonEntry {
 public:
  explicit AutostartEntry(fs::path folder) : folder_(std::move(folder)) {}

  LogonResult Add(const std::string& programPath) override {
    if (folder_.empty()) {
      std::fprintf(stderr, "%s\n", std::string(kNoConfigFolderText).c_str());
      return LogonResult::Failed;
    }
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error) return LogonResult::Failed;
    const std::string content =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=OrvelleConsole\n"
        "Comment=Touch frame control panel\n"
        "Exec=" +
        DesktopExecArgument(programPath) +
        "\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    return WriteFileAtomically(File(), content) ? LogonResult::Done : LogonResult::Failed;
  }

  LogonResult Remove() override {
    if (folder_.empty()) return LogonResult::Done;  // without a folder there is no entry
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

  // The user's own Run key, which every user may write (the machine's needs
  // an elevated program); a profile without one gets it.
  LogonResult Add(const std::string& programPath) override {
    std::unique_ptr<RegKey> key;
    if (registry_.CreateKey(RegRoot::CurrentUser, kRunKey, RegAccess::Write, key, nullptr) !=
        RegStatus::Success) {
      return LogonResult::Unavailable;
    }
    return SetStringValue(*key, kLogonEntryName, RunValueCommand(programPath)) == RegStatus::Success
               ? LogonResult::Done
               : LogonResult::Failed;
  }

  LogonResult Remove() override {
    std::unique_ptr<RegKey> key;
    if (registry_.OpenKey(RegRoot::CurrentUser, kRunKey, RegAccess::Write, key) !=
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

#ifndef _WIN32
fs::path DefaultAutostartFolder() {
  const fs::path config = UserConfigFolder();
  return config.empty() ? fs::path() : config / "autostart";
}
#endif

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
      case '\\':
        value += "\\\\";
        break;
      case '\n':
        value += "\\n";
        break;
      case '\t':
        value += "\\t";
        break;
      case '\r':
        value += "\\r";
        break;
      default:
        value += c;
    }
  }
  return value;
}

std::string RunValueCommand(std::string_view programPath) {
  if (programPath.find(' ') == std::string_view::npos) return std::string(programPath);
  return "\"" + std::string(programPath) + "\"";
}

}  // namespace orvelle::console
