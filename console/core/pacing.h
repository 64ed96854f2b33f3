#pragma once
// The pauses the pages take between exchanges with the controller. A real
// controller writes its flash after a setting is written and reloads after a
// reset; these give it that time before the next request. The command-line
// tool takes the same pauses.

#include <chrono>

namespace orvelle::console {

inline constexpr std::chrono::milliseconds kPauseAfterRead{20};
inline constexpr std::chrono::milliseconds kPauseAfterWrite{30};
inline constexpr std::chrono::milliseconds kPauseAfterReset{100};

}  // namespace orvelle::console
