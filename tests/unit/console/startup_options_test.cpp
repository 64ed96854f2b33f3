#include "console/core/startup_options.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "calibration/core/mouse_settings.h"
#include "platform/file_registry.h"
#include "shell/core/language_choice.h"
#include "tests/support/temp_folder.h"
#include "tests/support/unelevated_registry.h"

namespace orvelle::console {
namespace {

using Message = std::tuple<int, int, std::string>;  // text, caption, suffix

struct ScriptedLogonEntry : LogonEntry {
  LogonResult Add(const std::string& path) override {
    return calls.push_back("add " + path), result;
  }
  LogonResult Remove() override { return calls.push_back("remove"), result; }
  LogonResult result = LogonResult::Done;
  std::vector<std::string> calls;
};

struct Stored {
  const char* key;
  const char* name;
  std::vector<uint8_t> bytes;  // 4 bytes: a DWORD; otherwise a string
};

std::vector<uint8_t> Dw(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

// An empty store of its own, what was stored first, and what was shown.
struct Options {
  explicit Options(const std::vector<Stored>& values) {
    for (const Stored& v : values) {
      std::unique_ptr<RegKey> key;
      registry.CreateKey(RegRoot::LocalMachine, v.key, RegAccess::AllAccess, key, nullptr);
      const RegType type = v.bytes.size() == 4 ? RegType::Dword : RegType::String;
      EXPECT_EQ(key->SetValue(v.name, type, v.bytes), RegStatus::Success);
    }
  }
  // The three stored DWORDs, each -1 when its key or value is missing.
  std::vector<long> Dwords() {
    std::vector<long> values;
    for (auto [keyPath, name] : {std::pair{kGlobalSettingsKey, kLanguageValue},
                                 {kStartupSettingsKey, kLoadProgramOnStartup},
                                 {kStartupSettingsKey, kMinimizeWindowOnLoaded}}) {
      std::unique_ptr<RegKey> key;
      uint8_t b[4] = {};
      size_t size = sizeof b;
      const bool found = registry.OpenKey(RegRoot::LocalMachine, keyPath, RegAccess::Read, key) ==
                             RegStatus::Success &&
                         key->QueryValue(name, nullptr, b, &size) == RegStatus::Success;
      values.push_back(found ? b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24 : -1);
    }
    return values;
  }

  testing::TempFolder folder;
  FileRegistry registry{folder.Path()};
  ScriptedLogonEntry logon;
  std::vector<Message> messages;
  OptionsSettings settings{registry, logon, "/opt/Orvelle Touch/OrvelleConsole",
                           [this](int text, int caption, const std::string& suffix) {
                             messages.emplace_back(text, caption, suffix);
                           }};
};

std::vector<long> AsLongs(const StartupOptions& o) {
  return {o.languageCode, o.loadProgramOnStartup, o.minimizeWindowOnLoaded};
}

TEST(OptionsSettings, LoadTakesTheStoredValuesOrTheDefaultsWithAMessage) {
  const Stored language257{kGlobalSettingsKey, kLanguageValue, Dw(257)},
      load256{kStartupSettingsKey, kLoadProgramOnStartup, Dw(0x100)},
      minimize3{kStartupSettingsKey, kMinimizeWindowOnLoaded, Dw(3)},
      load1{kStartupSettingsKey, kLoadProgramOnStartup, Dw(1)},
      longText{kGlobalSettingsKey, kLanguageValue, {'1', '2', '3', '4', '5', 0}};
  using Case = std::tuple<const char*, std::vector<Stored>, StartupOptions, std::vector<Message>>;
  const Case cases[] = {
      {"clean store", {}, {0, false, false}, {}},
      {"start-up wrote 2", {{kGlobalSettingsKey, kLanguageValue, Dw(2)}}, {2, false, false}, {}},
      {"only the low byte counts", {language257, load256, minimize3}, {1, false, true}, {}},
      {"text too long", {longText}, {}, {{kMsgCannotRead, kMsgErrorCaption, "Language"}}},
      {"one missing", {load1}, {}, {{kMsgCannotRead, kMsgErrorCaption, "MinimizeWindowOnLoaded"}}},
  };
  for (const auto& [name, stored, expected, messages] : cases) {
    SCOPED_TRACE(name);
    Options o(stored);
    o.settings.Load();
    EXPECT_EQ(AsLongs(o.settings.Options()), AsLongs(expected));
    EXPECT_EQ(o.messages, messages);
    if (stored.empty()) {  // the first load makes the keys
      EXPECT_EQ(o.Dwords(), std::vector<long>(3, 0));
    }
  }
}

TEST(OptionsSettings, SaveRunsEveryStepAndSaysSavedOnlyWhenAllSucceeded) {
  using Case = std::tuple<bool, StartupOptions, LogonResult, std::vector<Message>, std::string>;
  const Message saved{kMsgSaved, kMsgSavedCaption, ""},
      noKey{kMsgCannotOpenForSave, kMsgErrorCaption, ""},
      noAdd{kMsgCannotAddLogon, kMsgErrorCaption, ""},
      noRemove{kMsgCannotRemoveLogon, kMsgErrorCaption, ""};
  const std::string add = "add /opt/Orvelle Touch/OrvelleConsole";
  const Case cases[] = {
      {true, {1, true, false}, LogonResult::Done, {saved}, add},
      {true, {2, false, true}, LogonResult::Done, {saved}, "remove"},
      {true, {0, true, true}, LogonResult::Unavailable, {saved}, add},
      {true, {0, true, false}, LogonResult::Failed, {noAdd}, add},
      {true, {0, false, false}, LogonResult::Failed, {noRemove}, "remove"},
      {false, {1, false, false}, LogonResult::Failed, {noKey, noKey, noRemove}, "remove"},
  };
  for (const auto& [keysExist, options, logon, messages, logonCall] : cases) {
    SCOPED_TRACE(logonCall);
    Options o(keysExist ? std::vector<Stored>{{kGlobalSettingsKey, kLanguageValue, Dw(9)},
                                              {kStartupSettingsKey, kLoadProgramOnStartup, Dw(9)}}
                        : std::vector<Stored>{});
    o.logon.result = logon;
    o.settings.Options() = options;
    EXPECT_EQ(o.settings.SaveSettings(), messages == std::vector<Message>{saved});
    EXPECT_EQ(o.messages, messages);
    EXPECT_EQ(o.logon.calls, std::vector<std::string>{logonCall});
    // A save creates no keys.
    EXPECT_EQ(o.Dwords(), keysExist ? AsLongs(options) : std::vector<long>(3, -1));
  }
}

// On Windows a program that is not elevated cannot write HKEY_LOCAL_MACHINE:
// every program starts without a box all the same, and the options page
// saves, into the user's root. A language the installer chose there is each
// user's until the user saves another.
TEST(OptionsSettings, AUserWhoMayNotWriteTheMachinesRootStartsAndSaves) {
  for (const bool installerChose : {false, true}) {
    SCOPED_TRACE(installerChose ? "installer chose Chinese" : "nothing installed");
    testing::TempFolder folder;
    FileRegistry store(folder.Path());
    std::unique_ptr<RegKey> machine;
    if (installerChose) {
      store.CreateKey(RegRoot::LocalMachine, kGlobalSettingsKey, RegAccess::AllAccess, machine, {});
      SetDwordValue(*machine, kLanguageValue, 1);
    }
    testing::UnelevatedRegistry registry(store);
    std::vector<std::string> boxes;
    const auto startupBox = [&](const std::string& text, const std::string&, unsigned) {
      return boxes.push_back(text), 0;
    };
    const auto start = [&] {  // the console's and Tessaly's start-up
      return LanguageCodeForStart("", kInitialLanguageCode, registry, startupBox);
    };
    const int language = installerChose ? 1 : kInitialLanguageCode;
    EXPECT_EQ(start(), language);
    EXPECT_EQ(start(), language);
    ApplyMouseSettings(registry, DesktopDoubleClick{4, 500},
                       [&](int id, const std::string&) { boxes.push_back(std::to_string(id)); });
    const auto logon = MakeRunValueEntry(registry);
    const auto page = [&] {
      return OptionsSettings(registry, *logon, "C:\\Orvelle\\OrvelleConsole.exe",
                             [&](int id, int, const std::string& suffix) {
                               boxes.push_back(std::to_string(id) + suffix);
                             });
    };
    OptionsSettings options = page();
    options.Load();
    EXPECT_EQ(options.Options().languageCode, language);
    EXPECT_EQ(boxes, std::vector<std::string>{});
    options.Options() = {0, true, true};
    EXPECT_TRUE(options.SaveSettings());
    EXPECT_EQ(boxes, std::vector<std::string>{std::to_string(kMsgSaved)});

    OptionsSettings next = page();
    next.Load();
    EXPECT_EQ(AsLongs(next.Options()), (std::vector<long>{0, true, true}));
    EXPECT_EQ(start(), 0);
    std::unique_ptr<RegKey> run;
    char command[64] = {};
    size_t size = sizeof command;
    ASSERT_EQ(store.OpenKey(RegRoot::CurrentUser, kRunKey, RegAccess::Read, run),
              RegStatus::Success);
    ASSERT_EQ(run->QueryValue(kLogonEntryName, nullptr,
                              {reinterpret_cast<uint8_t*>(command), sizeof command}, &size),
              RegStatus::Success);
    EXPECT_STREQ(command, "C:\\Orvelle\\OrvelleConsole.exe");
  }
}

}  // namespace
}  // namespace orvelle::console
