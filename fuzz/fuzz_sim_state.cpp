// The simulator's state file. What parses formats to a text that parses to
// the same state: format, parse, format gives the same text.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/state_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  orvelle::ControllerState state;
  std::string error;
  if (!orvelle::ParseState(text, state, error)) return 0;
  const std::string formatted = orvelle::FormatState(state);
  orvelle::ControllerState again;
  if (!orvelle::ParseState(formatted, again, error)) std::abort();
  if (orvelle::FormatState(again) != formatted) std::abort();
  return 0;
}
