#include "platform/reg_text.h"

#include <cstdio>
#include <optional>
#include <unordered_map>
#include <utility>

#include "platform/hex_text.h"
#include "platform/quoted_text.h"

namespace orvelle {

namespace {

constexpr std::string_view kExportHeader = "Windows Registry Editor Version 5.00";

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
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

bool ParseHexBytes(std::string_view s, std::vector<uint8_t>& out, std::string& why) {
  out.clear();
  s = Trim(s);
  if (s.empty()) return true;
  while (true) {
    std::string_view item = Trim(s.substr(0, s.find(',')));
    const auto byte = item.size() == 2 ? ParseHex(item) : std::nullopt;
    if (!byte) {
      why = "expected two hex digits per byte, separated by commas";
      return false;
    }
    out.push_back(static_cast<uint8_t>(*byte));
    size_t comma = s.find(',');
    if (comma == std::string_view::npos) return true;
    s.remove_prefix(comma + 1);
  }
}

bool ParseData(std::string_view s, RegValueData& value, std::string& why) {
  if (!s.empty() && s.front() == '"') {
    std::string text;
    if (!TakeQuoted(s, kQuoteAndBackslash, text, why)) return false;
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
    const std::string_view digits = s.substr(6);
    const auto parsed = digits.size() == 8 ? ParseHex(digits) : std::nullopt;
    if (!parsed) {
      why = "a dword needs exactly eight hex digits";
      return false;
    }
    const uint32_t v = *parsed;
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
    const auto type = ParseHex(s.substr(4, close - 4));
    if (!type) {
      why = "the type in hex(<type>) must be hexadecimal";
      return false;
    }
    value.type = static_cast<RegType>(*type);
    return ParseHexBytes(s.substr(close + 2), value.data, why);
  }
  why = "expected \"text\", dword:, hex: or hex(<type>): after '='";
  return false;
}

bool ParseValueLine(std::string_view line, RegValueData& value, std::string& why) {
  if (line.front() == '@') {
    value.name.clear();
    line.remove_prefix(1);
  } else if (!TakeQuoted(line, kQuoteAndBackslash, value.name, why)) {
    return false;
  }
  line = Trim(line);
  if (line.empty() || line.front() != '=') {
    why = "expected '=' after the value name";
    return false;
  }
  return ParseData(Trim(line.substr(1)), value, why);
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
    out += Quoted(value.name, kQuoteAndBackslash);
  }
  out.push_back('=');
  char buf[32];
  if (value.type == RegType::String && WritableAsText(value.data)) {
    out += Quoted(
        std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1),
        kQuoteAndBackslash);
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

// One pass over a root's text. Names are found through lower-cased indexes,
// so a key with many values or a store with many keys parses in linear time.
class RegTextParser {
 public:
  RegTextParser(std::string_view text, RegRoot root, RegDocument& document)
      : text_(text),
        root_(root),
        rootPrefix_(std::string(RootName(root)) + "\\"),
        document_(document) {}

  bool Parse(std::string& error) {
    document_.keys.clear();
    bool first = true;
    std::string_view line;
    while (NextLine(line)) {
      if (line.empty() || line.front() == ';' || line.front() == '#') continue;
      if (std::exchange(first, false) && line == kExportHeader) continue;
      std::string why;
      if (line.front() == '[') {
        KeyLine(line, why);
      } else if (line.front() == '"' || line.front() == '@') {
        ValueLine(line, why);
      } else {
        why = "expected a [key] line, a value line or a ';' comment";
      }
      if (!why.empty()) {
        error = "line " + std::to_string(lineStart_) + ": " + why;
        return false;
      }
    }
    return true;
  }

 private:
  // The next line, trimmed; a value's long byte list continues on the next
  // line after a trailing backslash and is joined into one.
  bool NextLine(std::string_view& line) {
    if (text_.empty()) return false;
    lineStart_ = ++lineNo_;
    line = Trim(TakeRawLine());
    const bool valueLine = line.starts_with('"') || line.starts_with('@');
    if (valueLine && line.find("=hex") != std::string_view::npos) {
      joined_.assign(line);
      while (!joined_.empty() && joined_.back() == '\\' && !text_.empty()) {
        joined_.pop_back();
        joined_ += Trim(TakeRawLine());
        ++lineNo_;
      }
      line = joined_;
    }
    return true;
  }

  std::string_view TakeRawLine() {
    const size_t eol = text_.find('\n');
    const std::string_view raw = text_.substr(0, eol);
    text_.remove_prefix(eol == std::string_view::npos ? text_.size() : eol + 1);
    return raw;
  }

  // "[ROOT\\path]": makes the key and every missing parent, as AddKey does,
  // and makes it the key that the following values belong to.
  void KeyLine(std::string_view line, std::string& why) {
    if (line.back() != ']') {
      why = "a key line must end with ']'";
      return;
    }
    const std::string_view full = line.substr(1, line.size() - 2);
    if (full.size() <= rootPrefix_.size() ||
        !EqualsNoCase(full.substr(0, rootPrefix_.size()), rootPrefix_)) {
      why = "the key is not under " + std::string(RootName(root_));
      return;
    }
    const std::string_view path = full.substr(rootPrefix_.size());
    if (!IsValidKeyPath(path)) {
      why = "the key path has an empty part";
      return;
    }
    size_t end = 0;
    do {
      end = path.find('\\', end + 1);
      const std::string_view prefix = path.substr(0, end);
      auto [it, added] = keyIndex_.emplace(Lower(prefix), document_.keys.size());
      if (added) {
        document_.keys.push_back(RegKeyData{std::string(prefix), {}});
        valueIndex_.emplace_back();
      }
      current_ = it->second;
    } while (end != std::string_view::npos);
  }

  // A value of the current key; a repeated name replaces the earlier value.
  void ValueLine(std::string_view line, std::string& why) {
    if (!current_) {
      why = "a value comes before any [key] line";
      return;
    }
    RegValueData value;
    if (!ParseValueLine(line, value, why)) return;
    auto& values = document_.keys[*current_].values;
    auto [it, added] = valueIndex_[*current_].emplace(Lower(value.name), values.size());
    if (added) {
      values.push_back(std::move(value));
    } else {
      values[it->second] = std::move(value);
    }
  }

  std::string_view text_;
  const RegRoot root_;
  const std::string rootPrefix_;
  RegDocument& document_;
  size_t lineNo_ = 0, lineStart_ = 0;
  std::string joined_;
  std::optional<size_t> current_;
  std::unordered_map<std::string, size_t> keyIndex_;
  std::vector<std::unordered_map<std::string, size_t>> valueIndex_;
};

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
  return RegTextParser(text, root, document).Parse(error);
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
