#include "calibration/core/mouse_settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/file_registry.h"
#include "tests/support/temp_folder.h"

namespace orvelle {
namespace {

const char* const kHeight = "DoubleClickHeight";
const char* const kWidth = "DoubleClickWidth";
const char* const kSpeed = "DoubleClickSpeed";

// The stored text, or "-" when there is none.
std::string Stored(FileRegistry& registry, const char* name) {
  std::unique_ptr<RegKey> key;
  if (registry.OpenKey(RegRoot::CurrentUser, kMouseSettingsKey, RegAccess::Read, key) !=
      RegStatus::Success) {
    return "-";
  }
  std::vector<uint8_t> buffer(64);
  size_t size = buffer.size();
  if (key->QueryValue(name, nullptr, buffer, &size) != RegStatus::Success) return "-";
  return reinterpret_cast<const char*>(buffer.data());
}

TEST(ApplyMouseSettings, SmallDoubleClickAreasAreEnlarged) {
  using Desktop = DesktopDoubleClick;  // seeds the suite's own store
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, const char*>> stored;  // none: no key
    std::optional<Desktop> desktop;
    std::string message;  // none: applied
    std::string after;    // height, width, speed
  };
  const Case cases[] = {
      {"small area", {{kWidth, "8"}, {kHeight, "8"}, {kSpeed, "500"}}, {}, "", "24 24 600"},
      {"one wide axis", {{kWidth, "9"}, {kHeight, "4"}}, {}, "", "4 9 -"},
      {"height missing", {{kWidth, "4"}}, {}, "1054DoubleClickHeight", "- 4 -"},
      {"long width", {{kHeight, "4"}, {kWidth, "1234"}}, {}, "1054DoubleClickWidth", "4 1234 -"},
      {"no key where the system keeps it", {}, {}, "1063", "- - -"},
      {"first start, small desktop area", {}, Desktop{5, 400}, "", "24 24 600"},
      {"first start, wide desktop area", {}, Desktop{10, 400}, "", "10 10 400"},
      {"stored values are kept", {{kHeight, "30"}}, Desktop{4, 500}, "", "30 4 500"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempFolder folder;
    FileRegistry registry(folder.Path());
    if (!c.stored.empty()) {
      std::unique_ptr<RegKey> key;
      ASSERT_EQ(registry.CreateKey(RegRoot::CurrentUser, kMouseSettingsKey, RegAccess::AllAccess,
                                   key, nullptr),
                RegStatus::Success);
      for (const auto& [name, text] : c.stored)
        SetStringValue(*key, name, text);
    }
    std::string message;
    const bool applied = ApplyMouseSettings(
        registry, c.desktop,
        [&](int id, const std::string& suffix) { message += std::to_string(id) + suffix; });
    EXPECT_EQ(applied, c.message.empty());
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(
        Stored(registry, kHeight) + " " + Stored(registry, kWidth) + " " + Stored(registry, kSpeed),
        c.after);
  }
}

}  // namespace
}  // namespace orvelle
