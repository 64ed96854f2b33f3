#include "ctl/text.h"

#include "devlink/protocol.h"
#include "platform/hex_text.h"
#include "platform/quoted_text.h"

namespace orvelle::ctl {

std::string Utf8(const std::string& latin1) {
  std::string text;
  for (unsigned char c : latin1) {
    if (c < 0x80) {
      text += static_cast<char>(c);
    } else {
      text += static_cast<char>(0xC0 | (c >> 6));
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return text;
}

std::string Printable(const std::string& latin1) {
  std::string bytes = latin1;
  for (char& c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0)) c = '?';
  }
  return Utf8(bytes);
}

std::string CommandText(uint8_t reportId, uint8_t code) {
  const char* name = CommandName(reportId, code);
  return name ? name : "command 0x" + Hex4(code).substr(2);
}

std::string QuoteGiven(const std::string& given) {
  static constexpr QuoteEscape kEscapes[] = {
      {'"', '"'}, {'\\', '\\'}, {'n', '\n'}, {'r', '\r'}, {'t', '\t'}};
  return Quoted(given, kEscapes);
}

}  // namespace orvelle::ctl
