#pragma once
// How the tool writes what the controller sends: its texts for terminals and
// JSON, commands by name (identities: platform/hex_text.h).

#include <cstdint>
#include <string>

namespace orvelle::ctl {

// The controller's texts are single bytes of no known code page; as Latin-1
// every byte is one character, and UTF-8 is what terminals and JSON take.
std::string Utf8(const std::string& latin1);
// For a terminal: control characters from the device must not act on it.
std::string Printable(const std::string& latin1);
// The catalogue's name of a request, else its code in hex.
std::string CommandText(uint8_t reportId, uint8_t code);
// What the user gave (a path, a word), quoted so that a message about it
// stays one line.
std::string QuoteGiven(const std::string& given);

}  // namespace orvelle::ctl
