#pragma once
// The text form of one root of the settings store: the layout of a registry
// export (.reg), so a person can read it, and a real export can be pasted in.
//
//   [HKEY_LOCAL_MACHINE\Software\Orvelle\GlobalSettings]
//   "Language"=dword:00000002
//   "Name"="text"              REG_SZ; the terminator is implied
//   "Blob"=hex:01,02,ff        REG_BINARY
//   "Other"=hex(7):41,00,00    any type as bytes
//   @="..."                    the key's unnamed value
//
// Key and value names compare without regard to case, as the registry does.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace orvelle {

struct RegValueData {
  std::string name;  // empty: the unnamed value
  RegType type = RegType::None;
  std::vector<uint8_t> data;
};

struct RegKeyData {
  std::string path;  // below the root, components joined by '\'
  std::vector<RegValueData> values;
};

struct RegDocument {
  std::vector<RegKeyData> keys;

  RegKeyData* FindKey(std::string_view path);
  // Adds the key and every missing parent; returns the key and whether it was
  // added.
  RegKeyData& AddKey(std::string_view path, bool* added);
};

RegValueData* FindValue(RegKeyData& key, std::string_view name);
bool EqualsNoCase(std::string_view a, std::string_view b);
// False when the path is empty, has an empty component or a control character.
bool IsValidKeyPath(std::string_view path);

// Parses one root's text. On failure `error` says where and why
// ("line 4: expected '=' after the value name").
bool ParseRegText(std::string_view text, RegRoot root, RegDocument& document, std::string& error);
std::string FormatRegText(const RegDocument& document, RegRoot root);

}  // namespace orvelle
