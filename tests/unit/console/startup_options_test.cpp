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

class OptionsSettingsTest : public ::testing::Test {
 protected:
  void Store(const std::vector<Stored>& values) {
    for (const Stored& v : values) {
      std::unique_ptr<RegKey> key;
      ASSERT_EQ(registry_->CreateKey(RegRoot::LocalMachine, v.key, RegAccess::AllAccess, key,
                                    nullptr),
                RegStatus::Success);
      const RegType type = v.bytes.size() == 4 ? RegType::Dword : RegType::String;
      ASSERT_EQ(key->SetValue(v.name, type, v.bytes), RegStatus::Success);
    }
  }
  // The stored DWORD, or -1 when the key or value is missing.
  long Dword(const char* keyPath, const char* name) {
    std::unique_ptr<RegKey> key;
    if (registry_->OpenKey(RegRoot::LocalMachine, keyPath, RegAccess::Read, key) !=
        RegStatus::Success) {
      return -1;
    }
    uint8_t bytes[4] = {};
    size_t size = sizeof bytes;
    if (key->QueryValue(name, nullptr, bytes, &size) != RegStatus::Success) return -1;
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24;
  }

  OptionsSettings Settings() {
    return OptionsSettings(*registry_, logon_, "/opt/Orvelle Touch/OrvelleConsole",
                           [this](int text, int caption, const std::string& suffix) {
                             messages_.emplace_back(text, caption, suffix);
                           });
  }

  // An empty store, no messages, no log-on calls.
  void Fresh() {
    registry_.reset();
    folder_ = std::make_unique<testing::TempFolder>();
    registry_ = std::make_unique<FileRegistry>(folder_->Path());
    messages_.clear();
    logon_ = ScriptedLogonEntry{};
  }

  std::unique_ptr<testing::TempFolder> folder_ = std::make_unique<testing::TempFolder>();
  std::unique_ptr<FileRegistry> registry_ = std::make_unique<FileRegistry>(folder_->Path());
  ScriptedLogonEntry logon_;
  std::vector<Message> messages_;
};

std::vector<uint8_t> Dw(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

TEST_F(OptionsSettingsTest, LoadTakesTheStoredValuesOrTheDefaultsWithAMessage) {
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
    Fresh();
    Store(c.stored);
    OptionsSettings settings = Settings();
    settings.Load();
    EXPECT_EQ(settings.Options().languageCode, c.expected.languageCode);
    EXPECT_EQ(settings.Options().loadProgramOnStartup, c.expected.loadProgramOnStartup);
    EXPECT_EQ(settings.Options().minimizeWindowOnLoaded, c.expected.minimizeWindowOnLoaded);
    EXPECT_EQ(messages_, c.messages);
  }
}

TEST_F(OptionsSettingsTest, FirstLoadCreatesBothKeysWithZeros) {
  Settings().Load();
  EXPECT_EQ(Dword(kGlobalSettingsKey, kLanguageValue), 0);
  EXPECT_EQ(Dword(kStartupSettingsKey, kLoadProgramOnStartup), 0);
  EXPECT_EQ(Dword(kStartupSettingsKey, kMinimizeWindowOnLoaded), 0);
}

TEST_F(OptionsSettingsTest, SaveRunsEveryStepAndSaysSavedOnlyWhenAllSucceeded) {
  struct Case {
    const char* name;
    bool keysExist;
    StartupOptions options;
    LogonResult logon;
    std::vector<Message> messages;
    std::string logonCall;
  };
  const Message saved{kMsgSaved, kMsgSavedCaption, ""};
  const Case cases[] = {
      {"log-on on", true, {1, true, false}, LogonResult::Done, {saved},
       "add /opt/Orvelle Touch/OrvelleConsole"},
      {"log-on off, none there", true, {2, false, true}, LogonResult::Done, {saved}, "remove"},
      {"log-on place unavailable", true, {0, true, true}, LogonResult::Unavailable, {saved},
       "add /opt/Orvelle Touch/OrvelleConsole"},
      {"log-on add fails", true, {0, true, false}, LogonResult::Failed,
       {{kMsgCannotAddLogon, kMsgErrorCaption, ""}}, "add /opt/Orvelle Touch/OrvelleConsole"},
      {"log-on remove fails", true, {0, false, false}, LogonResult::Failed,
       {{kMsgCannotRemoveLogon, kMsgErrorCaption, ""}}, "remove"},
      {"keys missing", false, {1, false, false}, LogonResult::Failed,
       {{kMsgCannotOpenForSave, kMsgErrorCaption, ""},
        {kMsgCannotOpenForSave, kMsgErrorCaption, ""},
        {kMsgCannotRemoveLogon, kMsgErrorCaption, ""}},
       "remove"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    logon_.result = c.logon;
    if (c.keysExist) Store({{kGlobalSettingsKey, kLanguageValue, Dw(9)},
                            {kStartupSettingsKey, kLoadProgramOnStartup, Dw(9)}});
    OptionsSettings settings = Settings();
    settings.Options() = c.options;
    EXPECT_EQ(settings.SaveSettings(), c.messages.size() == 1 && c.messages[0] == saved);
    EXPECT_EQ(messages_, c.messages);
    EXPECT_EQ(logon_.calls, std::vector<std::string>{c.logonCall});
    if (c.keysExist) {
      EXPECT_EQ(Dword(kGlobalSettingsKey, kLanguageValue), c.options.languageCode);
      EXPECT_EQ(Dword(kStartupSettingsKey, kLoadProgramOnStartup), c.options.loadProgramOnStartup);
      EXPECT_EQ(Dword(kStartupSettingsKey, kMinimizeWindowOnLoaded),
                c.options.minimizeWindowOnLoaded);
    } else {
      EXPECT_EQ(Dword(kGlobalSettingsKey, kLanguageValue), -1);  // a save creates no keys
    }
  }
}

}  // namespace
}  // namespace orvelle::console
