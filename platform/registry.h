#pragma once
// The settings store, shaped like the Win32 registry calls the programs were
// written against: two roots, keys opened or created by path, typed values read
// into a caller-sized buffer. On Windows it is the registry itself; elsewhere a
// readable text file per root (file_registry.h).
//
// Status codes carry the Win32 error numbers so that callers can reason as the
// registry's callers do (ERROR_MORE_DATA on a short buffer, and so on); the
// names are prefixed so that <windows.h> macros cannot clash with them.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvelle {

enum class RegStatus : long {
  Success = 0,             // ERROR_SUCCESS
  FileNotFound = 2,        // ERROR_FILE_NOT_FOUND: no such key or value
  AccessDenied = 5,        // ERROR_ACCESS_DENIED
  InvalidParameter = 87,   // ERROR_INVALID_PARAMETER
  MoreData = 234,          // ERROR_MORE_DATA: the caller's buffer is too short
  CantRead = 1012,         // ERROR_CANTREAD
  CantWrite = 1013,        // ERROR_CANTWRITE
  RegistryCorrupt = 1015,  // ERROR_REGISTRY_CORRUPT: the store file is damaged
  KeyDeleted = 1018,       // ERROR_KEY_DELETED
};

enum class RegRoot : uint8_t { LocalMachine, CurrentUser };

// Value types with the registry's numbers (REG_SZ, REG_BINARY, REG_DWORD).
enum class RegType : uint32_t { None = 0, String = 1, Binary = 3, Dword = 4 };

enum class RegAccess : uint8_t { Read, Write, AllAccess };

// Where the programs keep their own settings (language, start-up): the root
// the user's choices are written under, and the root whose values, such as an
// installer's, stand in where the user has made none.
struct SettingsRoots {
  RegRoot user = RegRoot::LocalMachine;
  std::optional<RegRoot> defaults;
};

// "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER".
std::string_view RootName(RegRoot root);

// An open key (HKEY). Closing is destruction.
class RegKey {
 public:
  virtual ~RegKey() = default;

  // RegQueryValueEx: the value's type and its size in bytes are reported
  // whenever it exists. With an empty `data` span only the size is asked for.
  // A value longer than `data` gives MoreData and copies nothing.
  virtual RegStatus QueryValue(std::string_view name, RegType* type, std::span<uint8_t> data,
                               size_t* size) = 0;
  // RegSetValueEx: the bytes are stored as given (a REG_SZ carries its
  // terminator; SetStringValue adds it).
  virtual RegStatus SetValue(std::string_view name, RegType type,
                             std::span<const uint8_t> data) = 0;
  virtual RegStatus DeleteValue(std::string_view name) = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;

  // RegCreateKeyEx: opens the key, creating it (and its parents) when missing;
  // `created` tells which happened.
  virtual RegStatus CreateKey(RegRoot root, std::string_view path, RegAccess access,
                              std::unique_ptr<RegKey>& key, bool* created) = 0;
  // RegOpenKeyEx: FileNotFound when the key does not exist.
  virtual RegStatus OpenKey(RegRoot root, std::string_view path, RegAccess access,
                            std::unique_ptr<RegKey>& key) = 0;
  // Windows: the user's choices under HKEY_CURRENT_USER with the machine's
  // values under HKEY_LOCAL_MACHINE as defaults (a program that is not
  // elevated cannot write there). The file store is the user's own already:
  // its HKEY_LOCAL_MACHINE file holds the settings, with no defaults.
  virtual SettingsRoots Settings() const = 0;
  // A readable account of the last failure of this registry object that had
  // more to say than its status (a damaged store file, an OS error).
  virtual std::string LastErrorText() const = 0;
};

// The registry of this machine: the Windows registry, or the file store under
// $ORVELLE_CONFIG_DIR (default $XDG_CONFIG_HOME/orvelle).
std::unique_ptr<Registry> OpenSystemRegistry();

// Typed helpers over SetValue.
RegStatus SetDwordValue(RegKey& key, std::string_view name, uint32_t value);
RegStatus SetStringValue(RegKey& key, std::string_view name, std::string_view text);

}  // namespace orvelle
