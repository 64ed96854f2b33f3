// Settings store text under both roots. Whatever parses must format to a text
// that parses to the same content: format, parse, format gives the same text.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/reg_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const auto root : {orvelle::RegRoot::LocalMachine, orvelle::RegRoot::CurrentUser}) {
    orvelle::RegDocument document;
    std::string why;
    if (!orvelle::ParseRegText(text, root, document, why)) continue;
    const std::string formatted = orvelle::FormatRegText(document, root);
    orvelle::RegDocument again;
    if (!orvelle::ParseRegText(formatted, root, again, why)) std::abort();
    if (orvelle::FormatRegText(again, root) != formatted) std::abort();
  }
  return 0;
}
