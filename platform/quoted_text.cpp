#include "platform/quoted_text.h"

namespace orvelle {

bool TakeQuoted(std::string_view& s, std::span<const QuoteEscape> escapes, std::string& out,
                std::string& why) {
  if (s.empty() || s.front() != '"') {
    why = "expected a quoted text";
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
      if (++i >= s.size()) break;
      const QuoteEscape* escape = nullptr;
      for (const QuoteEscape& e : escapes) {
        if (e.written == s[i]) escape = &e;
      }
      if (escape == nullptr) {
        why = "unknown escape \\" + std::string(1, s[i]) + " in a quoted text";
        return false;
      }
      c = escape->meant;
    }
    out.push_back(c);
  }
  why = "a quoted text has no closing quote";
  return false;
}

std::string Quoted(std::string_view text, std::span<const QuoteEscape> escapes) {
  std::string quoted = "\"";
  for (char c : text) {
    const QuoteEscape* escape = nullptr;
    for (const QuoteEscape& e : escapes) {
      if (e.meant == c) escape = &e;
    }
    if (escape != nullptr) {
      quoted += '\\';
      c = escape->written;
    }
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace orvelle
