#pragma once
// Reads a desktop entry file the way a desktop's launcher does (freedesktop.org
// desktop entry format 1.5): the string escapes of the file format, then the
// Exec key's quoting and its "%%". Written from that format's own rules, apart
// from the code under test, so that the two can disagree.

#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace orvelle::testing {

// The keys of the [Desktop Entry] group, with string escapes undone.
inline std::map<std::string, std::string> ReadDesktopEntry(const std::string& file) {
  std::ifstream in(file);
  std::map<std::string, std::string> keys;
  bool inGroup = false;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inGroup = line == "[Desktop Entry]";
      continue;
    }
    const size_t equals = line.find('=');
    if (!inGroup || equals == std::string::npos) continue;
    std::string& value = keys[line.substr(0, equals)] = {};
    for (size_t i = equals + 1; i < line.size(); ++i) {
      const size_t escape = line[i] == '\\' && i + 1 < line.size()
                                ? std::string_view("sntr\\").find(line[++i])
                                : std::string_view::npos;
      value += escape == std::string_view::npos ? line[i] : " \n\t\r\\"[escape];
    }
  }
  return keys;
}

// The Exec value split into arguments; nullopt when its quoting is invalid.
inline std::optional<std::vector<std::string>> ExecArguments(const std::string& exec) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false, quoted = false;
  for (size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (c == '%') {  // only "%%" is meant here, quoted or not
      if (i + 1 == exec.size() || exec[i + 1] != '%') return std::nullopt;
      current += exec[++i];
      inArgument = true;
    } else if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\') {
        if (i + 1 == exec.size()) return std::nullopt;
        const char next = exec[++i];
        if (std::string("\"`$\\").find(next) == std::string::npos) return std::nullopt;
        current += next;
      } else {
        current += c;
      }
    } else if (c == ' ') {
      if (inArgument) arguments.push_back(current);
      current.clear();
      inArgument = false;
    } else if (c == '"') {
      quoted = inArgument = true;
    } else if (std::string("\t\n'\\><~|&;$*?#()`").find(c) != std::string::npos) {
      return std::nullopt;  // reserved outside quotes
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (quoted) return std::nullopt;
  if (inArgument) arguments.push_back(current);
  return arguments;
}

}  // namespace orvelle::testing
