#pragma once
// The calibration program's options: which screen the calibration runs on
// and which controller it calibrates. Each travels as "--NAME VALUE" or
// "--NAME=VALUE", taken out of the arguments before the language is chosen
// from what is left, as the toolkit takes its own: a command line of exactly
// "0" or "1" keeps choosing the language.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvelle {

inline constexpr std::string_view kScreenOption = "--screen";
// A controller's path, as `orvellectl list` prints it.
inline constexpr std::string_view kDeviceOption = "--device";

struct TakenOption {
  std::optional<std::string> value;  // the last one given; none: not given
  std::vector<std::string> rest;     // the arguments without the option
};

TakenOption TakeOption(const std::vector<std::string>& arguments, std::string_view option);

// The index in `names` of the screen `wanted` stands for: a name first, else
// a number counted from 0 as the desktop's monitor list counts them.
std::optional<size_t> FindScreen(const std::vector<std::string>& names, std::string_view wanted);

}  // namespace orvelle
