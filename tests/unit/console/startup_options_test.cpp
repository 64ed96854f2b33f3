#include "console/core/startup_options.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "platform/file_registry.h"
#include "platform/registry.h"
#include "shell/language_choice.h"
#include "tests/support/temp_folder.h"

namespace orvelle::console {
namespace {

using Message = std::tuple<int, int, std::string>;  // text, caption, suffix

class ScriptedLogonEntry : public LogonEntry {
 public:
  LogonResult Add(const std::string& path) override {
    calls.push_back("add " + path);
    return result;
  }
  LogonResult Remove() override {
    calls.push_back("remove");
    return result;
  }
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
      EXPECT_EQ(
          registry.CreateKey(RegRoot::LocalMachine, v.key, RegAccess::AllAccess, key, nullptr),
          RegStatus::Success);
      const RegType type = v.bytes.size() == 4 ? RegType::Dword : RegType::String;
      EXPECT_EQ(key->SetValue(v.name, type, v.bytes), RegStatus::Success);
    }
  }
  // The stored DWORD, or -1 when the key or value is missing.
  long Dword(const char* keyPath, const char* name) {
    std::unique_ptr<RegKey> key;
    uint8_t bytes[4] = {};
    size_t size = sizeof bytes;
    if (registry.OpenKey(RegRoot::LocalMachine, keyPath, RegAccess::Read, key) !=
            RegStatus::Success ||
        key->QueryValue(name, nullptr, bytes, &size) != RegStatus::Success) {
      return -1;
    }
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24;
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

TEST(OptionsSettings, LoadTakesTheStoredValuesOrTheDefaultsWithAMessage) {
  struct Case {
    const char* name;
    std::vector<Stored> stored;
    StartupOptions expected;
    std::vector<Message> messages;
  };
  const Case cases[] = {
      {"clean store", {}, {0, false, false}, {}},
      {"start-up wrote 2", {{kGlobalSettingsKey, kLanguageValue, Dw(2)}}, {2, false, false}, {}},
      {"only the low byte counts",
       {{kGlobalSettingsKey, kLanguageValue, Dw(257)},
        {kStartupSettingsKey, kLoadProgramOnStartup, Dw(0x100)},
        {kStartupSettingsKey, kMinimizeWindowOnLoaded, Dw(3)}},
       {1, false, true},
       {}},
      {"language too long to read",
       {{kGlobalSettingsKey, kLanguageValue, {'1', '2', '3', '4', '5', 0}}},
       {0, false, false},
       {{kMsgCannotRead, kMsgErrorCaption, "Language"}}},
      {"second start-up value missing",
       {{kStartupSettingsKey, kLoadProgramOnStartup, Dw(1)}},
       {0, false, false},
       {{kMsgCannotRead, kMsgErrorCaption, "MinimizeWindowOnLoaded"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Options o(c.stored);
    o.settings.Load();
    EXPECT_EQ(o.settings.Options().languageCode, c.expected.languageCode);
    EXPECT_EQ(o.settings.Options().loadProgramOnStartup, c.expected.loadProgramOnStartup);
    EXPECT_EQ(o.settings.Options().minimizeWindowOnLoaded, c.expected.minimizeWindowOnLoaded);
    EXPECT_EQ(o.messages, c.messages);
    if (c.stored.empty()) {  // the first load creates both keys with zeros
      EXPECT_EQ(o.Dword(kGlobalSettingsKey, kLanguageValue), 0);
      EXPECT_EQ(o.Dword(kStartupSettingsKey, kLoadProgramOnStartup), 0);
      EXPECT_EQ(o.Dword(kStartupSettingsKey, kMinimizeWindowOnLoaded), 0);
    }
  }
}

TEST(OptionsSettings, SaveRunsEveryStepAndSaysSavedOnlyWhenAllSucceeded) {
  struct Case {
    const char* name;
    bool keysExist;
    StartupOptions options;
    LogonResult logon;
    std::vector<Message> messages;
    std::string logonCall;
  };
  const Message saved{kMsgSaved, kMsgSavedCaption, ""};
  const Message cannotOpen{kMsgCannotOpenForSave, kMsgErrorCaption, ""};
  const std::string add = "add /opt/Orvelle Touch/OrvelleConsole";
  const Case cases[] = {
      {"log-on on", true, {1, true, false}, LogonResult::Done, {saved}, add},
      {"log-on off, none there", true, {2, false, true}, LogonResult::Done, {saved}, "remove"},
      {"log-on place unavailable", true, {0, true, true}, LogonResult::Unavailable, {saved}, add},
      {"log-on add fails",
       true,
       {0, true, false},
       LogonResult::Failed,
       {{kMsgCannotAddLogon, kMsgErrorCaption, ""}},
       add},
      {"log-on remove fails",
       true,
       {0, false, false},
       LogonResult::Failed,
       {{kMsgCannotRemoveLogon, kMsgErrorCaption, ""}},
       "remove"},
      {"keys missing",
       false,
       {1, false, false},
       LogonResult::Failed,
       {cannotOpen, cannotOpen, {kMsgCannotRemoveLogon, kMsgErrorCaption, ""}},
       "remove"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Options o(c.keysExist ? std::vector<Stored>{{kGlobalSettingsKey, kLanguageValue, Dw(9)},
                                                {kStartupSettingsKey, kLoadProgramOnStartup, Dw(9)}}
                          : std::vector<Stored>{});
    o.logon.result = c.logon;
    o.settings.Options() = c.options;
    EXPECT_EQ(o.settings.SaveSettings(), c.messages == std::vector<Message>{saved});
    EXPECT_EQ(o.messages, c.messages);
    EXPECT_EQ(o.logon.calls, std::vector<std::string>{c.logonCall});
    // A save creates no keys.
    EXPECT_EQ(o.Dword(kGlobalSettingsKey, kLanguageValue),
              c.keysExist ? c.options.languageCode : -1);
    if (c.keysExist) {
      EXPECT_EQ(o.Dword(kStartupSettingsKey, kLoadProgramOnStartup),
                c.options.loadProgramOnStartup);
      EXPECT_EQ(o.Dword(kStartupSettingsKey, kMinimizeWindowOnLoaded),
                c.options.minimizeWindowOnLoaded);
    }
  }
}

}  // namespace
}  // namespace orvelle::console
