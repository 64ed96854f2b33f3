#pragma once
// The options page's settings: the language of both programs, the start at
// log-on and the hidden start. Read once when the page is created, written
// only by a save; each failed step says so with its own message.

#include <functional>
#include <span>
#include <string>

#include "console/core/logon_entry.h"
#include "console/core/message_ids.h"

namespace orvelle {
class Registry;
}

namespace orvelle::console {

inline constexpr const char* kStartupSettingsKey = "Software\\Orvelle\\StartupSettings";
inline constexpr const char* kLoadProgramOnStartup = "LoadProgramOnStartup";
inline constexpr const char* kMinimizeWindowOnLoaded = "MinimizeWindowOnLoaded";

struct StartupOptions {
  int languageCode = 0;
  bool loadProgramOnStartup = false;
  bool minimizeWindowOnLoaded = false;
};

class OptionsSettings {
 public:
  // Shows message `textId` with `captionId`; the suffix names a value when
  // a step on it failed.
  using MessageFn = std::function<void(int textId, int captionId, const std::string& suffix)>;

  OptionsSettings(Registry& registry, LogonEntry& logonEntry, std::string programPath,
                  MessageFn showMessage);

  // The page's creation: both reads, with the defaults where one fails.
  void Load();
  bool ReadLanguageSetting();
  bool ReadStartupSettings();

  // Every step runs even after one failed; the saved message comes only when
  // all of them succeeded. True in that case.
  bool SaveSettings();
  bool WriteLanguageSetting();
  bool WriteStartupSettings();
  bool AddRunEntry();
  bool RemoveRunEntry();

  StartupOptions& Options() { return options_; }
  const StartupOptions& Options() const { return options_; }

 private:
  // A value of the page's, by its name in the store.
  struct StoredSetting {
    const char* name;
    int value;
  };
  // Reads `values` from the key at `path`, creating the key when missing;
  // each failure shows its message and ends the read.
  bool ReadSettings(const char* path, std::span<StoredSetting> values);
  void Error(int textId, const std::string& suffix = {}) const;

  Registry& registry_;
  LogonEntry& logonEntry_;
  const std::string programPath_;
  MessageFn showMessage_;
  StartupOptions options_;
};

}  // namespace orvelle::console
