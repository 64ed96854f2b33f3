#include "shell/core/pack_text.h"

#include <charconv>

#include "platform/quoted_text.h"

namespace orvelle {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

void SkipBlanks(std::string_view& s) {
  while (!s.empty() && IsBlank(s.front()))
    s.remove_prefix(1);
}

// Pack texts may also hold line breaks and tabs.
constexpr QuoteEscape kPackEscapes[] = {{'"', '"'}, {'\\', '\\'}, {'n', '\n'}, {'t', '\t'}};

std::string Problem(int line, const std::string& why) {
  return "line " + std::to_string(line) + ": " + why;
}

}  // namespace

std::vector<PackLine> ParsePackLines(std::string_view text, std::vector<std::string>& problems) {
  std::vector<PackLine> lines;
  int lineNo = 0;
  while (!text.empty()) {
    const size_t eol = text.find('\n');
    std::string_view s = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    ++lineNo;
    SkipBlanks(s);
    if (s.empty() || s.front() == '#') continue;
    PackLine line;
    line.line = lineNo;
    while (!s.empty() && !IsBlank(s.front()) && s.front() != '"') {
      line.word.push_back(s.front());
      s.remove_prefix(1);
    }
    std::string why;
    SkipBlanks(s);
    while (why.empty() && !s.empty()) {
      if (s.front() != '"') {
        why = "expected a quoted text";
        break;
      }
      std::string piece;
      if (!TakeQuoted(s, kPackEscapes, piece, why)) break;
      line.texts.push_back(std::move(piece));
      SkipBlanks(s);
    }
    if (why.empty() && line.word.empty()) why = "a line must begin with a word or number";
    if (why.empty() && line.texts.empty()) why = "a line needs at least one quoted text";
    if (!why.empty()) {
      problems.push_back(Problem(lineNo, why));
      continue;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::map<int, std::string> ParseStringTable(std::string_view text,
                                            std::vector<std::string>& problems) {
  std::map<int, std::string> strings;
  for (PackLine& line : ParsePackLines(text, problems)) {
    int id = -1;
    const char* end = line.word.data() + line.word.size();
    auto [ptr, ec] = std::from_chars(line.word.data(), end, id);
    if (ec != std::errc() || ptr != end || id < 0 || id > 65535) {
      problems.push_back(Problem(line.line, "\"" + line.word + "\" is not a string number"));
    } else if (line.texts.size() != 1) {
      problems.push_back(Problem(line.line, "a string line holds exactly one text"));
    } else if (!strings.emplace(id, std::move(line.texts[0])).second) {
      problems.push_back(Problem(line.line, "string " + line.word + " is given twice"));
    }
  }
  return strings;
}

PackSettings ParsePackSettings(std::string_view text, std::vector<std::string>& problems) {
  PackSettings settings;
  for (PackLine& line : ParsePackLines(text, problems)) {
    if (line.word == "language" && line.texts.size() == 1) {
      settings.language = line.texts[0];
    } else if (line.word == "font") {
      settings.fonts = std::move(line.texts);
    } else {
      problems.push_back(Problem(line.line, "unknown setting \"" + line.word + "\""));
    }
  }
  return settings;
}

}  // namespace orvelle
