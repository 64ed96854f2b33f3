#include "calibration/core/mouse_settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <vector>

#include "platform/file_registry.h"

namespace orvelle {
namespace {

namespace fs = std::filesystem;

class MouseSettingsTest : public ::testing::Test {
 protected:
  MouseSettingsTest() {
    char pattern[] = "/tmp/orvelle-mouse-XXXXXX";
    folder_ = mkdtemp(pattern);
    registry_ = std::make_unique<FileRegistry>(folder_);
  }
  ~MouseSettingsTest() override { fs::remove_all(folder_); }

  void Store(std::initializer_list<std::pair<const char*, const char*>> values) {
    std::unique_ptr<RegKey> key;
    ASSERT_EQ(registry_->CreateKey(RegRoot::CurrentUser, kMouseSettingsKey, RegAccess::AllAccess,
                                   key, nullptr),
              RegStatus::Success);
    for (const auto& [name, text] : values)
      SetStringValue(*key, name, text);
  }

  // The stored text, or "<missing>".
  std::string Stored(const char* name) {
    std::unique_ptr<RegKey> key;
    if (registry_->OpenKey(RegRoot::CurrentUser, kMouseSettingsKey, RegAccess::Read, key) !=
        RegStatus::Success) {
      return "<missing>";
    }
    std::vector<uint8_t> buffer(64);
    size_t size = buffer.size();
    if (key->QueryValue(name, nullptr, buffer, &size) != RegStatus::Success) return "<missing>";
    return std::string(reinterpret_cast<const char*>(buffer.data()));
  }

  bool Apply(std::optional<DesktopDoubleClick> desktop = std::nullopt) {
    return ApplyMouseSettings(*registry_, desktop, [this](int id, const std::string& suffix) {
      messages_.push_back(std::to_string(id) + suffix);
    });
  }

  fs::path folder_;
  std::unique_ptr<FileRegistry> registry_;
  std::vector<std::string> messages_;
};

TEST_F(MouseSettingsTest, SmallAreaIsEnlargedWithTheInterval) {
  Store({{"DoubleClickWidth", "4"}, {"DoubleClickHeight", "4"}, {"DoubleClickSpeed", "500"}});
  EXPECT_TRUE(Apply());
  EXPECT_EQ(Stored("DoubleClickHeight"), "24");
  EXPECT_EQ(Stored("DoubleClickWidth"), "24");
  EXPECT_EQ(Stored("DoubleClickSpeed"), "600");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(MouseSettingsTest, EightIsStillSmall) {
  Store({{"DoubleClickWidth", "8"}, {"DoubleClickHeight", "8"}});
  EXPECT_TRUE(Apply());
  EXPECT_EQ(Stored("DoubleClickWidth"), "24");
  EXPECT_EQ(Stored("DoubleClickSpeed"), "600");
}

TEST_F(MouseSettingsTest, OneWideAxisLeavesEverythingAlone) {
  Store({{"DoubleClickWidth", "10"}, {"DoubleClickHeight", "4"}});
  EXPECT_TRUE(Apply());
  EXPECT_EQ(Stored("DoubleClickWidth"), "10");
  EXPECT_EQ(Stored("DoubleClickHeight"), "4");
  EXPECT_EQ(Stored("DoubleClickSpeed"), "<missing>");
}

TEST_F(MouseSettingsTest, MissingOrOverlongValuesAreReportedAndNothingIsWritten) {
  Store({{"DoubleClickWidth", "4"}});
  EXPECT_FALSE(Apply());
  EXPECT_EQ(messages_, std::vector<std::string>{"1054DoubleClickHeight"});
  EXPECT_EQ(Stored("DoubleClickWidth"), "4");

  messages_.clear();
  Store({{"DoubleClickHeight", "4"}, {"DoubleClickWidth", "1234"}});
  EXPECT_FALSE(Apply());
  EXPECT_EQ(messages_, std::vector<std::string>{"1054DoubleClickWidth"});
  EXPECT_EQ(Stored("DoubleClickHeight"), "4");
}

TEST_F(MouseSettingsTest, MissingKeyIsReportedWhereTheSystemKeepsIt) {
  EXPECT_FALSE(Apply());
  EXPECT_EQ(messages_, std::vector<std::string>{"1063"});
  EXPECT_EQ(Stored("DoubleClickHeight"), "<missing>");
}

TEST_F(MouseSettingsTest, FirstStartOnTheSuitesStoreBeginsFromTheDesktop) {
  EXPECT_TRUE(Apply(DesktopDoubleClick{5, 400}));
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(Stored("DoubleClickHeight"), "24");
  EXPECT_EQ(Stored("DoubleClickSpeed"), "600");

  fs::remove_all(folder_);
  fs::create_directories(folder_);
  EXPECT_TRUE(Apply(DesktopDoubleClick{10, 400}));
  EXPECT_EQ(Stored("DoubleClickHeight"), "10");
  EXPECT_EQ(Stored("DoubleClickSpeed"), "400");

  // Values already stored are kept, however they compare with the desktop's.
  Store({{"DoubleClickHeight", "30"}});
  EXPECT_TRUE(Apply(DesktopDoubleClick{4, 500}));
  EXPECT_EQ(Stored("DoubleClickHeight"), "30");
  EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace orvelle
