#include "console/core/config_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/os_version.h"
#include "tests/support/frames.h"

namespace orvelle::console {
namespace {

using Bytes = std::vector<uint8_t>;
using Change = std::function<void(ConfigPageState&)>;
using testing::Request;

Bytes Answer(uint8_t code, Bytes payload) {
  return Request(kCommandReportId, code, payload);
}
Bytes Read(uint8_t code, Bytes data) {
  data.insert(data.begin(), kSubRead);
  return Answer(code, data);
}

ConfigPageState With(const Change& change) {
  ConfigPageState s;
  if (change) change(s);
  return s;
}

TEST(ConfigExchange, ReadAnswersTakeEachFieldOnlyInItsRange) {
  struct Case {
    const char* name;
    Bytes frame;
    Change expected;  // on the initial state
  };
  const Case cases[] = {
      {"touch not 2", Read(TOUCH_SETTINGS, {3}), [](auto& s) { s.touchSetting2 = false; }},
      {"switch on only at 1", Read(CFG_12, {1, 0, 2}), [](auto& s) { s.switchA12 = true; }},
      {"16 signed", Read(CFG_16, {1, 0xFB}), [](auto& s) { s.value16 = -5; }},
      {"16 stored while off", Read(CFG_16, {0, 9}), [](auto& s) { s.on16 = false, s.value16 = 9; }},
      {"levels each alone", Read(CFG_17, {0, 6, 10, 11}), [](auto& s) { s.levelC17 = 10; }},
      {"levels in range", Read(CFG_17, {1, 5, 1, 10}),
       [](auto& s) { s.levelA17 = 1, s.levelB17 = 5, s.levelC17 = 1, s.levelD17 = 10; }},
      {"period off table", Read(CFG_21, {1, 0, 15, 2, 0xEE}), [](auto& s) { s.periodB21 = 750; }},
      {"periods stored while off", Read(CFG_21, {0, 0, 3, 0, 100}),
       [](auto& s) { s.on21 = false, s.periodA21 = 3, s.periodB21 = 100; }},
      {"15 not a step of 500", Read(CFG_15, {1, 7, 0x02, 0xEE}), [](auto& s) { s.level15 = 7; }},
      {"15 above 5000", Read(CFG_15, {1, 11, 0x15, 0x7C}), nullptr},
      {"high byte 0x80 negative", Read(CFG_15, {1, 0, 0x80, 0x00}), nullptr},
      {"15 in range", Read(CFG_15, {1, 10, 0x13, 0x88}),
       [](auto& s) { s.level15 = 10, s.value15 = 5000; }},
      {"14 in range", Read(CFG_14, {1, 1, 3, 0xE8}),
       [](auto& s) { s.level14 = 1, s.value14 = 1000; }},
      {"14 off, its values stored", Read(CFG_14, {0, 1, 0, 100}),
       [](auto& s) { s.on14 = false, s.level14 = 1, s.value14 = 100; }},
      {"14 of 50 kept", Read(CFG_14, {1, 5, 0, 50}), nullptr},
      {"wrong length", Answer(CFG_14, {1, 1, 1, 1}), nullptr},
      {"calibration report", Request(kCalibrationReportId, CFG_12, {1, 1, 1, 1}), nullptr},
      {"cut short", Bytes{kCommandReportId, CFG_12, 4, 1, 1}, [](auto& s) { s.switchA12 = true; }},
      {"unknown code", Read(0x13, {1}), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigExchange exchange;
    exchange.HandleFrame(c.frame);
    EXPECT_EQ(exchange.State(), With(c.expected));
  }
}

// Each field is read from and written to its own byte: a group read is
// written back as it came (one switch of three on, every other field unlike
// its neighbours).
TEST(ConfigExchange, AGroupIsWrittenBackAsItWasRead) {
  const std::pair<uint8_t, Bytes> groups[] = {
      {TOUCH_SETTINGS, {2}},    {CFG_12, {0, 0, 1}},          {CFG_16, {1, 7}},
      {CFG_17, {2, 3, 4, 5}},   {CFG_21, {1, 0, 45, 3, 232}}, {CFG_15, {1, 3, 5, 220}},
      {CFG_14, {1, 4, 1, 144}},
  };
  for (const auto& [code, data] : groups) {
    ConfigExchange exchange;
    exchange.HandleFrame(Read(code, data));
    const FrameBuffer written = exchange.WriteRequest(code);
    Bytes expected = data;
    expected.insert(expected.begin(), kSubWrite);
    EXPECT_EQ(Bytes(written.begin(), written.begin() + kCommandFrameLength), Answer(code, expected))
        << int(code);
  }
}

// A group whose read was lost would be written back with the page's own
// values; a removal forgets the read.
TEST(ConfigExchange, TheReadIsCompleteOnlyWhenEveryGroupOfTheClassAnswered) {
  const std::pair<uint8_t, size_t> dataLengths[] = {{TOUCH_SETTINGS, 1}, {CFG_12, 3}, {CFG_16, 2},
                                                    {CFG_17, 4},         {CFG_21, 5}, {CFG_15, 4},
                                                    {CFG_14, 4}};
  // The class, the group whose answer is lost (0: none), whether the read is complete.
  const std::tuple<int, uint8_t, bool> cases[] = {{3, 0, true},
                                                  {3, CFG_16, false},
                                                  {3, TOUCH_SETTINGS, true},
                                                  {kTouchSettingsClass, TOUCH_SETTINGS, false}};
  for (const auto& [windowsClass, lost, complete] : cases) {
    ConfigExchange exchange;
    exchange.BeginRefresh(windowsClass);
    for (const auto& [code, length] : dataLengths)
      if (code != lost) exchange.HandleFrame(Read(code, Bytes(length, 1)));
    EXPECT_EQ(exchange.ReadComplete(), complete) << windowsClass << " " << int(lost);
    exchange.Forget();
    EXPECT_FALSE(exchange.ReadComplete());
  }
}

// Only a failure of the right length counts; a refused read is told by its
// zero status and padding, never taken as a setting switched off.
TEST(ConfigExchange, AcknowledgementsAndRefusals) {
  const std::tuple<const char*, uint8_t, Bytes, ConfigAnswer> cases[] = {
      {"TouchSettings", TOUCH_SETTINGS, {2, 0}, ConfigAnswer::WriteRefused},
      {"Cfg12", CFG_12, {2, 0}, ConfigAnswer::WriteRefused},
      {"Cfg16", CFG_16, {2, 0}, ConfigAnswer::WriteRefused},
      {"Cfg17", CFG_17, {2, 0}, ConfigAnswer::WriteRefused},
      {"Cfg17Accepted", CFG_17, {2, 1}, ConfigAnswer::None},
      {"Cfg17OfLength5", CFG_17, {2, 0, 0, 0, 0}, ConfigAnswer::None},
      {"Cfg21OfLength2", CFG_21, {2, 0}, ConfigAnswer::None},
      {"Cfg21OfLength6", CFG_21, {2, 0, 0, 0, 0, 0}, ConfigAnswer::WriteRefused},
      {"Cfg15OfLength2", CFG_15, {2, 0}, ConfigAnswer::None},
      {"Cfg15OfLength5", CFG_15, {2, 0, 0, 0, 0}, ConfigAnswer::WriteRefused},
      {"Cfg14OfLength5", CFG_14, {2, 0, 0, 0, 0}, ConfigAnswer::WriteRefused},
      {"ResetRefused", CFG_RESET, {2, 0, 0, 0, 0}, ConfigAnswer::ResetRefused},
      {"ResetDone", CFG_RESET, {2, 3, 0, 0, 0}, ConfigAnswer::ResetDone},
      {"ResetOfLength2", CFG_RESET, {2, 0}, ConfigAnswer::None},
      {"ResetAsRead", CFG_RESET, {1, 0, 0, 0, 0}, ConfigAnswer::None},
      {"Cfg15ReadRefused", CFG_15, {1, 0, 0, 0, 0}, ConfigAnswer::ReadRefused},
      {"Cfg21ReadRefused", CFG_21, {1, 0, 0, 0, 0, 0}, ConfigAnswer::ReadRefused},
      {"TouchReadRefused", TOUCH_SETTINGS, {1, 0}, ConfigAnswer::ReadRefused},
      {"Cfg12ReadRefused", CFG_12, {1, 0}, ConfigAnswer::ReadRefused},
      {"Cfg12AllOff", CFG_12, {1, 0, 0, 0}, ConfigAnswer::ReadTaken},
  };
  for (const auto& [name, code, payload, expected] : cases) {
    SCOPED_TRACE(name);
    ConfigExchange exchange;
    exchange.BeginApply();
    EXPECT_EQ(exchange.HandleFrame(Answer(code, payload)), expected);
    EXPECT_EQ(exchange.ApplyOk(), expected != ConfigAnswer::WriteRefused);
    EXPECT_EQ(exchange.State(), ConfigPageState{});
  }
}

// Apply is done when each group written reads back as written.
TEST(ConfigExchange, WritesAreKeptWhenTheyReadBack) {
  ConfigExchange exchange;
  exchange.BeginApply();
  for (uint8_t code : {CFG_15, CFG_14, CFG_16})
    exchange.ApplyRequest(code);
  const ConfigPageState written = exchange.State();
  exchange.HandleFrame(Read(CFG_15, {1, 5, 0x0B, 0xB8}));
  exchange.HandleFrame(Read(CFG_14, {1, 5, 0x03, 0x84}));
  EXPECT_EQ(exchange.UnkeptGroups(), (std::vector<uint8_t>{CFG_14, CFG_16}))
      << "CFG_14 read back 900, CFG_16 not at all";
  EXPECT_NE(exchange.State(), written) << "the page shows what the controller holds";
  exchange.BeginApply();
  EXPECT_TRUE(exchange.UnkeptGroups().empty());
}

TEST(ConfigExchange, UserChoicesChangeOnlyTheirField) {
  struct Choice {
    std::function<void(ConfigExchange&)> act;
    Change expected;
  };
  const Choice choices[] = {
      {[](auto& e) { e.Select(IDC_SWITCH_C12, 0); }, [](auto& s) { s.switchC12 = true; }},
      {[](auto& e) { e.Select(IDC_PERIOD_A21, 9); }, [](auto& s) { s.periodA21 = 180; }},
      {[](auto& e) { e.Select(IDC_PERIOD_B21, 8); }, nullptr},
      {[](auto& e) { e.Select(IDC_VALUE15, 8); }, [](auto& s) { s.value15 = 4500; }},
      {[](auto& e) { e.Select(IDC_VALUE14, -1); }, nullptr},
      {[](auto& e) { e.Select(IDC_LEVEL14, 9); }, [](auto& s) { s.level14 = 10; }},
      {[](auto& e) { e.Select(IDC_LEVEL_D17, 6); }, [](auto& s) { s.levelD17 = 7; }},
      {[](auto& e) { e.Slide(IDC_LEVEL_B17, 1); }, [](auto& s) { s.levelB17 = 1; }},
      {[](auto& e) { e.Slide(IDC_LEVEL_A17, 6); }, nullptr},
      {[](auto& e) { e.Step(20, 1); }, [](auto& s) { s.value16 = 20; }},
      {[](auto& e) { e.Step(1, -1); }, [](auto& s) { s.value16 = 0; }},
      {[](auto& e) { e.Step(5, 10); }, [](auto& s) { s.value16 = 15; }},
  };
  for (const Choice& c : choices) {
    ConfigExchange exchange;
    c.act(exchange);
    EXPECT_EQ(exchange.State(), With(c.expected)) << "choice " << &c - choices;
  }
}

TEST(WindowsClass, OnlyWindows7IsClass6) {
  const std::tuple<OsVersionInfo, bool, int> cases[] = {
      {{kVerPlatformNt, 6, 1}, true, 6},     {{kVerPlatformNt, 6, 2}, true, 1},
      {{kVerPlatformNt, 10, 0}, true, 1},    {{kVerPlatformNt, 6, 0}, true, 5},
      {{kVerPlatformNt, 5, 2}, true, 4},     {{kVerPlatformNt, 5, 0}, true, 2},
      {{kVerPlatformWin9x, 4, 10}, true, 0}, {{kVerPlatformOther, 0, 0}, true, 3},
      {{kVerPlatformNt, 6, 1}, false, 3},
  };
  for (const auto& [version, succeeds, expected] : cases)
    EXPECT_EQ(WindowsClass(FixedOsVersion(version, succeeds)), expected) << version.major;
}

TEST(ConfigControls, AFilledPageEnablesWhatHoldsAValidValue) {
  const std::tuple<const char*, Change, ControlSetting> cases[] = {
      {"spin", [](auto& s) { s.value16 = 12; }, {IDC_VALUE16_SPIN, 12, true}},
      {"16 off", [](auto& s) { s.on16 = false; }, {IDC_VALUE16_TEXT, {}, false}},
      {"slider out of range", [](auto& s) { s.levelA17 = 0; }, {IDC_LEVEL_A17, {}, false}},
      {"hidden level", [](auto& s) { s.levelD17 = 10; }, {IDC_LEVEL_D17, 9, true}},
      {"period position", [](auto& s) { s.periodB21 = 750; }, {IDC_PERIOD_B21, 4, true}},
      {"period off table", [](auto& s) { s.periodA21 = 7; }, {IDC_PERIOD_A21, {}, {}}},
      {"14", [](auto& s) { s.value14 = 1000; }, {IDC_VALUE14, 9, true}},
  };
  for (const auto& [name, state, expected] : cases) {
    const ControlSettings controls = FilledControls(With(state), 3);
    const auto found = std::ranges::find(controls, expected.id, &ControlSetting::id);
    const ControlSetting untouched{expected.id, {}, {}};
    EXPECT_EQ(found == controls.end() ? untouched : *found, expected) << name;
  }
}

}  // namespace
}  // namespace orvelle::console
