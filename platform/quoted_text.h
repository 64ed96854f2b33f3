#pragma once
// Double-quoted texts in the suite's readable files (the settings store, the
// language packs' tables): one reader, each format naming its escapes.

#include <span>
#include <string>
#include <string_view>

namespace orvelle {

// What a backslash followed by `written` stands for.
struct QuoteEscape {
  char written;
  char meant;
};

// The escapes every such file has: \" and \\.
inline constexpr QuoteEscape kQuoteAndBackslash[] = {{'"', '"'}, {'\\', '\\'}};

// Reads the quoted text at the start of `s` into `out` and leaves `s` after
// its closing quote. False with `why` when `s` does not start with a quote,
// the quote is never closed, or a backslash is followed by no listed escape.
bool TakeQuoted(std::string_view& s, std::span<const QuoteEscape> escapes, std::string& out,
                std::string& why);
// The quoted text that TakeQuoted reads back as `text`.
std::string Quoted(std::string_view text, std::span<const QuoteEscape> escapes);

}  // namespace orvelle
