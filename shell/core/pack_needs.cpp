#include "shell/core/pack_needs.h"

#include <charconv>

namespace orvelle {

// Generated from the manifests (pack_manifests.cpp.in).
extern const char* const kConsoleManifest;
extern const char* const kCalibrationManifest;

namespace {

bool TakeNumber(std::string_view& s, int& value) {
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || ptr == s.data()) return false;
  s.remove_prefix(static_cast<size_t>(ptr - s.data()));
  return true;
}

}  // namespace

PackNeeds ParsePackManifest(std::string_view text) {
  PackNeeds needs;
  while (!text.empty()) {
    const size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    std::vector<std::string_view> words;
    while (!line.empty()) {
      const size_t start = line.find_first_not_of(" \t\r");
      if (start == std::string_view::npos) break;
      line.remove_prefix(start);
      const size_t end = line.find_first_of(" \t\r");
      words.push_back(line.substr(0, end));
      line.remove_prefix(end == std::string_view::npos ? line.size() : end);
    }
    if (words.empty()) continue;
    std::vector<int>* ids = words[0] == "string"     ? &needs.strings
                            : words[0] == "template" ? &needs.templates
                            : words[0] == "icon"     ? &needs.icons
                            : words[0] == "bitmap"   ? &needs.bitmaps
                                                     : nullptr;
    if (!ids) continue;
    for (size_t i = 1; i < words.size(); ++i) {
      std::string_view word = words[i];
      int first = 0;
      int last = 0;
      if (!TakeNumber(word, first)) continue;
      last = first;
      if (word.starts_with('-')) {
        word.remove_prefix(1);
        if (!TakeNumber(word, last) || last < first || last - first > 65535) continue;
      }
      for (int id = first; id <= last; ++id)
        ids->push_back(id);
    }
  }
  return needs;
}

const PackNeeds& PackNeedsOf(ShellProgram program) {
  static const PackNeeds console = ParsePackManifest(kConsoleManifest);
  static const PackNeeds calibration = ParsePackManifest(kCalibrationManifest);
  return program == ShellProgram::Console ? console : calibration;
}

}  // namespace orvelle
