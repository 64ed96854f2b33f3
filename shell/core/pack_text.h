#pragma once
// The text files inside a language pack, free of Qt.
//
// strings.txt, one string per line, UTF-8:
//   # comment
//   1080 "Error"
//   1054 "Cannot read the mouse setting: "     (quoted, so trailing blanks show)
// Escapes inside the quotes: \" \\ \n \t.
//
// pack.txt, settings of the pack as a whole:
//   language "zh_CN"
//   font "WenQuanYi Micro Hei" "Noto Sans CJK SC" "Microsoft YaHei"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace orvelle {

struct PackLine {
  int line = 0;
  std::string word;                // the identifier or setting name
  std::vector<std::string> texts;  // its quoted texts, unescaped
};

// Splits the file into lines of a word followed by quoted texts. Lines that do
// not have that shape are reported in `problems` ("line 7: ...") and skipped.
std::vector<PackLine> ParsePackLines(std::string_view text, std::vector<std::string>& problems);

// Identifier to text. Each line must be a number 0..65535 with exactly one
// text; a repeated identifier keeps its first text and is a problem.
std::map<int, std::string> ParseStringTable(std::string_view text,
                                            std::vector<std::string>& problems);

struct PackSettings {
  std::string language;            // e.g. "en", "zh_CN"
  std::vector<std::string> fonts;  // font families, preferred first
};

PackSettings ParsePackSettings(std::string_view text, std::vector<std::string>& problems);

}  // namespace orvelle
