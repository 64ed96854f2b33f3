// A language pack's text files: the string table and the pack settings. Every
// line is either taken or reported, and nothing is read past the text.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "shell/core/pack_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> problems;
  const auto strings = orvelle::ParseStringTable(text, problems);
  for (const auto& [id, string] : strings) {
    if (id < 0 || id > 65535 || string.size() > size) std::abort();
  }
  const orvelle::PackSettings settings = orvelle::ParsePackSettings(text, problems);
  if (settings.language.size() > size) std::abort();
  return 0;
}
