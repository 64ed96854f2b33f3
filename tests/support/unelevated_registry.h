#pragma once
// The settings store as a Windows program that is not elevated meets the
// registry: the user's choices belong under HKEY_CURRENT_USER, and
// HKEY_LOCAL_MACHINE, where an installer may have left defaults, can be read
// but neither written nor added to.

#include "platform/registry.h"

namespace orvelle::testing {

class UnelevatedRegistry : public Registry {
 public:
  explicit UnelevatedRegistry(Registry& store) : store_(store) {}

  RegStatus CreateKey(RegRoot root, std::string_view path, RegAccess access,
                      std::unique_ptr<RegKey>& key, bool* created) override {
    if (root != RegRoot::LocalMachine) return store_.CreateKey(root, path, access, key, created);
    const RegStatus status = OpenKey(root, path, access, key);
    if (created) *created = false;
    return status == RegStatus::FileNotFound ? RegStatus::AccessDenied : status;
  }
  RegStatus OpenKey(RegRoot root, std::string_view path, RegAccess access,
                    std::unique_ptr<RegKey>& key) override {
    if (root == RegRoot::LocalMachine && access != RegAccess::Read) return RegStatus::AccessDenied;
    return store_.OpenKey(root, path, access, key);
  }
  SettingsRoots Settings() const override { return {RegRoot::CurrentUser, RegRoot::LocalMachine}; }
  std::string LastErrorText() const override { return store_.LastErrorText(); }

 private:
  Registry& store_;
};

}  // namespace orvelle::testing
