#pragma once
// One key of the programs' own settings, at the same path in the two roots
// that Registry::Settings() names: the user's key, where choices are written,
// and the machine's, whose values stand in for those the user has not made.
// The machine's key is only ever read, so a program that may not write there
// (on Windows, any program that is not elevated) starts and saves all the same.

#include <memory>
#include <string_view>

#include "platform/registry.h"

namespace orvelle {

class SettingsKey {
 public:
  // RegCreateKeyEx on the user's key with all access; `created` tells whether
  // it is new. The machine's key is opened for reading when there is one.
  RegStatus Create(Registry& registry, std::string_view path, bool* created);

  // The first byte of the 4-byte value `name`, the user's or else the
  // machine's: the settings are numbers of which only the low byte counts,
  // and a longer value does not read (MoreData).
  RegStatus QueryLowByte(std::string_view name, uint8_t& value);
  // True when the machine's key holds a value `name` for users who have none.
  bool HasDefault(std::string_view name);
  // Where the user's choices are written.
  RegKey& User() { return *user_; }

 private:
  std::unique_ptr<RegKey> user_;
  std::unique_ptr<RegKey> machine_;
};

}  // namespace orvelle
