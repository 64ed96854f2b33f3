#include "calibration/core/screen_choice.h"

#include <algorithm>
#include <charconv>

namespace orvelle {

TakenOption TakeOption(const std::vector<std::string>& arguments, std::string_view name) {
  TakenOption option;
  const std::string withValue = std::string(name) + "=";
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word == name) {
      // A trailing option without a value is dropped, not taken as the language.
      if (i + 1 < arguments.size()) option.value = arguments[++i];
    } else if (word.starts_with(withValue)) {
      option.value = word.substr(withValue.size());
    } else {
      option.rest.push_back(word);
    }
  }
  return option;
}

std::optional<size_t> FindScreen(const std::vector<std::string>& names, std::string_view wanted) {
  if (wanted.empty()) return std::nullopt;
  const auto named = std::find(names.begin(), names.end(), wanted);
  if (named != names.end()) return static_cast<size_t>(named - names.begin());
  size_t number = 0;
  const char* end = wanted.data() + wanted.size();
  const auto [last, error] = std::from_chars(wanted.data(), end, number);
  if (error != std::errc() || last != end || number >= names.size()) return std::nullopt;
  return number;
}

}  // namespace orvelle
