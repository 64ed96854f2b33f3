#pragma once
// The settings store as files: one readable text file per root
// (HKEY_LOCAL_MACHINE.reg, HKEY_CURRENT_USER.reg) in one folder.
//
// The console and the calibration program may change the store at the same
// moment, so every operation re-reads the file under a lock (flock on a
// companion .lock file, shared for reads, exclusive for changes) and every
// change replaces the file atomically (temporary file, fsync, rename). A file
// that does not parse is never written over: operations on its root fail with
// RegistryCorrupt, and a dated copy is kept beside it for the user.

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

  // $ORVELLE_CONFIG_DIR, else $XDG_CONFIG_HOME/orvelle, else ~/.config/orvelle.
  static std::filesystem::path DefaultFolder();
  std::filesystem::path StorePath(RegRoot root) const;

  RegStatus CreateKey(RegRoot root, std::string_view path, RegAccess access,
                      std::unique_ptr<RegKey>& key, bool* created) override;
  RegStatus OpenKey(RegRoot root, std::string_view path, RegAccess access,
                    std::unique_ptr<RegKey>& key) override;
  std::string LastErrorText() const override;

 private:
  // Shared with the open keys, which may outlive this object.
  std::shared_ptr<FileStore> store_;
};

}  // namespace orvelle
