#pragma once
// The settings store as files: one readable text file per root
// (HKEY_LOCAL_MACHINE.reg, HKEY_CURRENT_USER.reg) in one folder.
//
// The console and the calibration program may change the store at the same
// moment, so every operation takes a lock (flock on a companion .lock file,
// shared for reads, exclusive for changes) and looks at the file again; the
// parsed content is kept while the file stays the same (device, inode, size,
// times). Every change replaces the file atomically (temporary file, fsync,
// rename) - the file a symbolic link names, keeping its mode - and removes
// temporary files that killed writers left. A file that does not parse, or
// that is no regular file, is never written over: operations on its root
// fail with RegistryCorrupt, and a dated copy of a damaged file is kept beside
// it for the user. A store file without write permission is a setting locked
// by the administrator: changes fail with AccessDenied.

#include <filesystem>
#include <memory>
#include <string>

#include "platform/registry.h"

namespace orvelle {

class FileStore;

class FileRegistry : public Registry {
 public:
  explicit FileRegistry(std::filesystem::path folder);
  ~FileRegistry() override;

  // $ORVELLE_CONFIG_DIR, else "orvelle" in the user's configuration folder;
  // empty when the user has none, and a store without a folder refuses every
  // operation with a message that says so.
  static std::filesystem::path DefaultFolder();
  std::filesystem::path StorePath(RegRoot root) const;

  RegStatus CreateKey(RegRoot root, std::string_view path, RegAccess access,
                      std::unique_ptr<RegKey>& key, bool* created) override;
  RegStatus OpenKey(RegRoot root, std::string_view path, RegAccess access,
                    std::unique_ptr<RegKey>& key) override;
  SettingsRoots Settings() const override { return {RegRoot::LocalMachine, std::nullopt}; }
  std::string LastErrorText() const override;

 private:
  // Shared with the open keys, which may outlive this object.
  std::shared_ptr<FileStore> store_;
};

}  // namespace orvelle
