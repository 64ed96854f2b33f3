#include "json_reader.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orvelle::test {
namespace {

class Reader {
 public:
  explicit Reader(const std::string& text) : s_(text) {}

  bool Value(JsonValue& v) {
    Skip();
    if (pos_ >= s_.size()) return false;
    const char c = s_[pos_];
    if (c == '{') return Object(v);
    if (c == '[') return Array(v);
    if (c == '"') {
      v.kind = JsonValue::Kind::String;
      return String(v.text);
    }
    if (Word("true")) {
      v.kind = JsonValue::Kind::Bool;
      v.boolean = true;
      return true;
    }
    if (Word("false")) {
      v.kind = JsonValue::Kind::Bool;
      return true;
    }
    if (Word("null")) return true;
    char* end = nullptr;
    v.number = std::strtod(s_.c_str() + pos_, &end);
    if (end == s_.c_str() + pos_) return false;
    v.kind = JsonValue::Kind::Number;
    pos_ = static_cast<size_t>(end - s_.c_str());
    return true;
  }

  bool AtEnd() {
    Skip();
    return pos_ == s_.size();
  }

 private:
  void Skip() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t')) {
      ++pos_;
    }
  }
  bool Word(const char* w) {
    const std::string word(w);
    if (s_.compare(pos_, word.size(), word) != 0) return false;
    pos_ += word.size();
    return true;
  }
  bool Expect(char c) {
    Skip();
    if (pos_ >= s_.size() || s_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  bool String(std::string& out) {
    if (!Expect('"')) return false;
    while (pos_ < s_.size() && s_[pos_] != '"') {
      if (s_[pos_] == '\\' && ++pos_ >= s_.size()) return false;
      out.push_back(s_[pos_++]);
    }
    return Expect('"');
  }
  bool Array(JsonValue& v) {
    v.kind = JsonValue::Kind::Array;
    ++pos_;
    if (Expect(']')) return true;
    do {
      v.items.emplace_back();
      if (!Value(v.items.back())) return false;
    } while (Expect(','));
    return Expect(']');
  }
  bool Object(JsonValue& v) {
    v.kind = JsonValue::Kind::Object;
    ++pos_;
    if (Expect('}')) return true;
    do {
      std::string key;
      Skip();
      if (!String(key) || !Expect(':') || !Value(v.members[key])) return false;
    } while (Expect(','));
    return Expect('}');
  }

  const std::string& s_;
  size_t pos_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
  static const JsonValue kNull;
  const auto it = members.find(key);
  return it == members.end() ? kNull : it->second;
}

std::optional<JsonValue> ParseJson(const std::string& text) {
  Reader reader(text);
  JsonValue v;
  if (!reader.Value(v) || !reader.AtEnd()) return std::nullopt;
  return v;
}

std::optional<JsonValue> ReadJsonFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return ParseJson(text.str());
}

}  // namespace orvelle::test
