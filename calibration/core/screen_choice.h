#pragma once
// Which screen the calibration runs on. The choice travels as an option,
// "--screen NAME" or "--screen=NAME", taken out of the arguments before the
// language is chosen from what is left, as the toolkit takes its own: a
// command line of exactly "0" or "1" keeps choosing the language.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvelle {

inline constexpr std::string_view kScreenOption = "--screen";

struct ScreenOption {
  std::optional<std::string> screen;  // the last one given; none: the primary screen
  std::vector<std::string> rest;      // the arguments without the option
};

ScreenOption TakeScreenOption(const std::vector<std::string>& arguments);

// The index in `names` of the screen `wanted` stands for: a name first, else
// a number counted from 0 as the desktop's monitor list counts them.
std::optional<size_t> FindScreen(const std::vector<std::string>& names, std::string_view wanted);

}  // namespace orvelle
