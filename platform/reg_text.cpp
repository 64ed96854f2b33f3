#include "platform/reg_text.h"

#include <cstdio>
#include <unordered_map>

namespace orvelle {

namespace {

constexpr std::string_view kExportHeader = "Windows Registry Editor Version 5.00";

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = LowerAscii(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = LowerAscii(c);
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// Reads a quoted text at the start of `s` (\\ and \" are the only escapes, as
// in an export); `s` is left after the closing quote.
bool TakeQuoted(std::string_view& s, std::string& out, std::string& why) {
  if (s.empty() || s.front() != '"') {
    why = "expected a quoted name or text";
    return false;
  }
  out.clear();
  for (size_t i = 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      s.remove_prefix(i + 1);
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) {
        why = "unknown escape in a quoted text (only \\\\ and \\\" are used)";
        return false;
      }
      c = s[++i];
    }
    out.push_back(c);
  }
  why = "a quoted text has no closing quote";
  return false;
}

bool ParseHexBytes(std::string_view s, std::vector<uint8_t>& out, std::string& why) {
  out.clear();
  s = Trim(s);
  if (s.empty()) return true;
  while (true) {
    std::string_view item = Trim(s.substr(0, s.find(',')));
    if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) {
      why = "expected two hex digits per byte, separated by commas";
      return false;
    }
    out.push_back(static_cast<uint8_t>(HexDigit(item[0]) * 16 + HexDigit(item[1])));
    size_t comma = s.find(',');
    if (comma == std::string_view::npos) return true;
    s.remove_prefix(comma + 1);
  }
}

bool ParseData(std::string_view s, RegValueData& value, std::string& why) {
  if (!s.empty() && s.front() == '"') {
    std::string text;
    if (!TakeQuoted(s, text, why)) return false;
    if (!Trim(s).empty()) {
      why = "unexpected characters after a quoted text";
      return false;
    }
    value.type = RegType::String;
    value.data.assign(text.begin(), text.end());
    value.data.push_back(0);
    return true;
  }
  if (s.starts_with("dword:")) {
    std::string_view digits = s.substr(6);
    if (digits.size() != 8) {
      why = "a dword needs exactly eight hex digits";
      return false;
    }
    uint32_t v = 0;
    for (char c : digits) {
      if (HexDigit(c) < 0) {
        why = "a dword needs exactly eight hex digits";
        return false;
      }
      v = v * 16 + static_cast<uint32_t>(HexDigit(c));
    }
    value.type = RegType::Dword;
    value.data = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                  static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    return true;
  }
  if (s.starts_with("hex:")) {
    value.type = RegType::Binary;
    return ParseHexBytes(s.substr(4), value.data, why);
  }
  if (s.starts_with("hex(")) {
    size_t close = s.find("):");
    if (close == std::string_view::npos || close == 4 || close > 12) {
      why = "expected hex(<type>): before the bytes";
      return false;
    }
    uint32_t type = 0;
    for (char c : s.substr(4, close - 4)) {
      if (HexDigit(c) < 0) {
        why = "the type in hex(<type>) must be hexadecimal";
        return false;
      }
      type = type * 16 + static_cast<uint32_t>(HexDigit(c));
    }
    value.type = static_cast<RegType>(type);
    return ParseHexBytes(s.substr(close + 2), value.data, why);
  }
  why = "expected \"text\", dword:, hex: or hex(<type>): after '='";
  return false;
}

bool ParseValueLine(std::string_view line, RegValueData& value, std::string& why) {
  if (line.front() == '@') {
    value.name.clear();
    line.remove_prefix(1);
  } else if (!TakeQuoted(line, value.name, why)) {
    return false;
  }
  line = Trim(line);
  if (line.empty() || line.front() != '=') {
    why = "expected '=' after the value name";
    return false;
  }
  return ParseData(Trim(line.substr(1)), value, why);
}

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
}

// A REG_SZ is written as text when it reads back to the same bytes: one
// terminator at the end, and nothing that would break the line.
bool WritableAsText(const std::vector<uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (size_t i = 0; i + 1 < data.size(); ++i) {
    if (data[i] < 0x20 || data[i] == 0x7F) return false;
  }
  return true;
}

void AppendHex(std::string& out, const std::vector<uint8_t>& data) {
  char buf[4];
  for (size_t i = 0; i < data.size(); ++i) {
    std::snprintf(buf, sizeof buf, i == 0 ? "%02x" : ",%02x", data[i]);
    out += buf;
  }
}

void AppendValue(std::string& out, const RegValueData& value) {
  if (value.name.empty()) {
    out.push_back('@');
  } else {
    AppendQuoted(out, value.name);
  }
  out.push_back('=');
  char buf[32];
  if (value.type == RegType::String && WritableAsText(value.data)) {
    AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                       value.data.size() - 1));
  } else if (value.type == RegType::Dword && value.data.size() == 4) {
    uint32_t v = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                 (static_cast<uint32_t>(value.data[3]) << 24);
    std::snprintf(buf, sizeof buf, "dword:%08x", v);
    out += buf;
  } else if (value.type == RegType::Binary) {
    out += "hex:";
    AppendHex(out, value.data);
  } else {
    std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<uint32_t>(value.type));
    out += buf;
    AppendHex(out, value.data);
  }
  out.push_back('\n');
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool IsValidKeyPath(std::string_view path) {
  if (path.empty()) return false;
  for (char c : path) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  size_t start = 0;
  while (true) {
    size_t end = path.find('\\', start);
    if (end == start || start == path.size()) return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

RegKeyData* RegDocument::FindKey(std::string_view path) {
  for (RegKeyData& key : keys) {
    if (EqualsNoCase(key.path, path)) return &key;
  }
  return nullptr;
}

RegKeyData& RegDocument::AddKey(std::string_view path, bool* added) {
  if (added) *added = false;
  size_t end = 0;
  do {
    end = path.find('\\', end + 1);
    std::string_view prefix = path.substr(0, end);
    if (!FindKey(prefix)) {
      keys.push_back(RegKeyData{std::string(prefix), {}});
      if (added && end == std::string_view::npos) *added = true;
    }
  } while (end != std::string_view::npos);
  return *FindKey(path);
}

RegValueData* FindValue(RegKeyData& key, std::string_view name) {
  for (RegValueData& value : key.values) {
    if (EqualsNoCase(value.name, name)) return &value;
  }
  return nullptr;
}

bool ParseRegText(std::string_view text, RegRoot root, RegDocument& document, std::string& error) {
  document.keys.clear();
  const std::string rootPrefix = std::string(RootName(root)) + "\\";
  // Names are found through lower-cased indexes, so a key with many values or
  // a store with many keys parses in one pass.
  std::unordered_map<std::string, size_t> keyIndex;
  std::vector<std::unordered_map<std::string, size_t>> valueIndex;
  size_t current = 0;
  bool haveKey = false;
  bool first = true;
  size_t lineNo = 0;
  std::string why;
  std::string joined;
  while (!text.empty()) {
    size_t eol = text.find('\n');
    std::string_view raw = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    ++lineNo;
    const size_t startLine = lineNo;
    std::string_view line = Trim(raw);
    // Long byte lists continue on the next line after a trailing backslash.
    if ((line.starts_with('"') || line.starts_with('@')) && line.find("=hex") != line.npos) {
      joined.assign(line);
      while (!joined.empty() && joined.back() == '\\' && !text.empty()) {
        joined.pop_back();
        eol = text.find('\n');
        joined += Trim(text.substr(0, eol));
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        ++lineNo;
      }
      line = joined;
    }
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (first && line == kExportHeader) {
      first = false;
      continue;
    }
    first = false;
    if (line.front() == '[') {
      if (line.back() != ']') {
        why = "a key line must end with ']'";
      } else {
        std::string_view full = line.substr(1, line.size() - 2);
        if (full.size() <= rootPrefix.size() ||
            !EqualsNoCase(full.substr(0, rootPrefix.size()), rootPrefix)) {
          why = "the key is not under " + std::string(RootName(root));
        } else if (!IsValidKeyPath(full.substr(rootPrefix.size()))) {
          why = "the key path has an empty part";
        } else {
          // The key and every missing parent, as AddKey makes them.
          const std::string_view path = full.substr(rootPrefix.size());
          size_t end = 0;
          do {
            end = path.find('\\', end + 1);
            const std::string_view prefix = path.substr(0, end);
            auto [it, added] = keyIndex.emplace(Lower(prefix), document.keys.size());
            if (added) {
              document.keys.push_back(RegKeyData{std::string(prefix), {}});
              valueIndex.emplace_back();
            }
            current = it->second;
          } while (end != std::string_view::npos);
          haveKey = true;
          continue;
        }
      }
    } else if (line.front() == '"' || line.front() == '@') {
      RegValueData value;
      if (!haveKey) {
        why = "a value comes before any [key] line";
      } else if (ParseValueLine(line, value, why)) {
        auto& values = document.keys[current].values;
        auto [it, added] = valueIndex[current].emplace(Lower(value.name), values.size());
        if (added) {
          values.push_back(std::move(value));
        } else {
          values[it->second] = std::move(value);
        }
        continue;
      }
    } else {
      why = "expected a [key] line, a value line or a ';' comment";
    }
    error = "line " + std::to_string(startLine) + ": " + why;
    return false;
  }
  return true;
}

std::string FormatRegText(const RegDocument& document, RegRoot root) {
  std::string out = "; Orvelle settings (";
  out += RootName(root);
  out += ")\n; Written by the Orvelle programs; change it only while they are closed.\n";
  for (const RegKeyData& key : document.keys) {
    out += "\n[";
    out += RootName(root);
    out += '\\';
    out += key.path;
    out += "]\n";
    for (const RegValueData& value : key.values)
      AppendValue(out, value);
  }
  return out;
}

}  // namespace orvelle
