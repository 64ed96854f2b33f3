#include "calibration/core/screen_choice.h"

#include <gtest/gtest.h>

#include "shell/core/language_choice.h"

namespace orvelle {
namespace {

TEST(TakeOption, LeavesTheLanguageLineAsBefore) {
  struct Case {
    std::vector<std::string> arguments;
    std::optional<std::string> screen;
    std::string languageLine;  // what the language choice then sees
  };
  const Case cases[] = {
      {{"1"}, std::nullopt, "1"},
      {{"--screen", "1"}, "1", ""},  // a screen number, not Chinese
      {{"--screen", "HDMI-1", "0"}, "HDMI-1", "0"},
      {{"1", "--screen=DP-2"}, "DP-2", "1"},
      {{"--screen=a", "--screen", "b"}, "b", ""},  // the last one counts
      {{"0", "--screen"}, std::nullopt, "0"},      // no value: dropped
      {{"-screen", "1"}, std::nullopt, "-screen 1"},
  };
  for (const Case& c : cases) {
    const TakenOption option = TakeOption(c.arguments, kScreenOption);
    EXPECT_EQ(option.value, c.screen) << JoinCommandLine(c.arguments);
    EXPECT_EQ(JoinCommandLine(option.rest), c.languageLine) << JoinCommandLine(c.arguments);
  }
}

TEST(FindScreen, ByNameThenByNumber) {
  const std::vector<std::string> names{"eDP-1", "HDMI-1", "2"};
  struct Case {
    std::string wanted;
    std::optional<size_t> index;
  };
  const Case cases[] = {
      {"HDMI-1", 1}, {"0", 0},   {"2", 2},  // the name "2" before the number 2
      {"3", {}},     {"-1", {}}, {"1x", {}}, {"", {}}, {"hdmi-1", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FindScreen(names, c.wanted), c.index) << c.wanted;
}

}  // namespace
}  // namespace orvelle
