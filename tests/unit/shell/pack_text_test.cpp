#include "shell/core/pack_text.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace orvelle {
namespace {

TEST(PackText, StringTableKeepsBlanksEscapesAndUtf8) {
  std::vector<std::string> problems;
  const auto strings = ParseStringTable(
      "# comment\n"
      "\n"
      "1054 \"Cannot read the mouse setting: \"\r\n"
      "  101\t\"&About...\"\n"
      "7 \"say \\\"hi\\\"\\n\\tC:\\\\\"\n"
      "1050 \"错误\"\n",
      problems);
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(strings, (decltype(strings){{1054, "Cannot read the mouse setting: "},
                                        {101, "&About..."},
                                        {7, "say \"hi\"\n\tC:\\"},
                                        {1050, "错误"}}));
}

TEST(PackText, BadLinesAreReportedAndSkipped) {
  std::vector<std::string> problems;
  const auto strings = ParseStringTable(
      "1 \"one\"\n"
      "1 \"again\"\n"     // line 2: repeated
      "x2 \"two\"\n"      // line 3: not a number
      "3 \"open\n"        // line 4: no closing quote
      "4 \"a\" \"b\"\n"   // line 5: two texts
      "5 \"\\q\"\n"       // line 6: unknown escape
      "6\n"               // line 7: no text
      "70000 \"big\"\n",  // line 8: out of range
      problems);
  EXPECT_EQ(strings, (decltype(strings){{1, "one"}}));
  std::vector<std::string> lines;
  for (const std::string& problem : problems)
    lines.push_back(problem.substr(0, problem.find(':')));
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{"line 2", "line 3", "line 4", "line 5", "line 6",
                                             "line 7", "line 8"}));
}

TEST(PackText, SettingsNameLanguageAndFonts) {
  std::vector<std::string> problems;
  const PackSettings settings = ParsePackSettings(
      "language \"zh_CN\"\nfont \"WenQuanYi Micro Hei\" \"SimSun\"\ncolour \"red\"\n", problems);
  EXPECT_EQ(settings.language, "zh_CN");
  EXPECT_EQ(settings.fonts, (std::vector<std::string>{"WenQuanYi Micro Hei", "SimSun"}));
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_TRUE(problems[0].starts_with("line 3:"));
}

}  // namespace
}  // namespace orvelle
