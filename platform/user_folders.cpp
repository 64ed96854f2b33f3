#include "platform/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace orvelle {

namespace fs = std::filesystem;

namespace {

bool IsAbsolute(const char* path) {
  return path && *path == '/';
}

}  // namespace

fs::path ConfigFolderFrom(const char* xdgConfigHome, const char* home, const char* passwdHome) {
  if (IsAbsolute(xdgConfigHome)) return xdgConfigHome;
  if (IsAbsolute(home)) return fs::path(home) / ".config";
  if (IsAbsolute(passwdHome)) return fs::path(passwdHome) / ".config";
  return {};
}

fs::path UserConfigFolder() {
  const passwd* entry = ::getpwuid(::getuid());
  return ConfigFolderFrom(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"),
                          entry ? entry->pw_dir : nullptr);
}

}  // namespace orvelle
