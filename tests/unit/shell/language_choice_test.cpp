#include "shell/language_choice.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/file_registry.h"
#include "shell/message_style.h"

namespace orvelle {
namespace {

namespace fs = std::filesystem;

struct Shown {
  std::string text, caption;
  unsigned style;
};

class LanguageChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "orvelle-lang-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    registry_ = std::make_unique<FileRegistry>(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  int Start(std::string_view commandLine) {
    return LanguageCodeForStart(
        commandLine, kInitialLanguageCode, *registry_,
        [this](const std::string& text, const std::string& caption, unsigned style) {
          shown_.push_back({text, caption, style});
          return kIdOk;
        });
  }

  std::unique_ptr<RegKey> GlobalKey() {
    std::unique_ptr<RegKey> key;
    EXPECT_EQ(registry_->CreateKey(RegRoot::LocalMachine, kGlobalSettingsKey, RegAccess::AllAccess,
                                   key, nullptr),
              RegStatus::Success);
    return key;
  }

  void StoreLanguage(uint32_t value) { SetDwordValue(*GlobalKey(), kLanguageValue, value); }

  fs::path folder_;
  std::unique_ptr<FileRegistry> registry_;
  std::vector<Shown> shown_;
};

TEST_F(LanguageChoiceTest, FirstStartStoresTwoAndChoosesEnglish) {
  const int code = Start("");
  EXPECT_EQ(code, 2);
  EXPECT_EQ(LanguagePackName(ShellProgram::Console, code), "KelvraEnglish");
  EXPECT_TRUE(shown_.empty());
  uint8_t value[4] = {};
  size_t size = sizeof value;
  RegType type = RegType::None;
  ASSERT_EQ(GlobalKey()->QueryValue(kLanguageValue, &type, value, &size), RegStatus::Success);
  EXPECT_EQ(type, RegType::Dword);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(value[0], 2);
  // The next start reads what the first one stored.
  EXPECT_EQ(Start(""), 2);
}

TEST_F(LanguageChoiceTest, ExactlyZeroOrOneDecidesWithoutTheStore) {
  EXPECT_EQ(Start("1"), kLanguageChinese);
  EXPECT_FALSE(fs::exists(registry_->StorePath(RegRoot::LocalMachine)));
  StoreLanguage(1);
  EXPECT_EQ(Start("0"), kLanguageEnglish);
  EXPECT_TRUE(shown_.empty());
}

TEST_F(LanguageChoiceTest, AnythingElseLetsTheStoreDecide) {
  StoreLanguage(1);
  EXPECT_EQ(JoinCommandLine({"1", ""}), "1 ");
  for (const char* line : {"1 ", " 1", "01", "1 0", "en", "-1"}) {
    EXPECT_EQ(Start(line), kLanguageChinese) << '"' << line << '"';
  }
  StoreLanguage(0);
  EXPECT_EQ(Start("1 "), kLanguageEnglish);
}

TEST_F(LanguageChoiceTest, OnlyTheLowByteCounts) {
  StoreLanguage(257);
  const int code = Start("");
  EXPECT_EQ(code, 1);
  EXPECT_EQ(LanguagePackName(ShellProgram::Calibration, code), "TessalyChinese");
  StoreLanguage(0x0300);
  EXPECT_EQ(Start(""), 0);
}

TEST_F(LanguageChoiceTest, UnreadableValueShowsTheMessageAndFallsBackToEnglish) {
  StoreLanguage(1);
  SetStringValue(*GlobalKey(), kLanguageValue, "Chinese");  // 8 bytes do not fit 4
  EXPECT_EQ(Start(""), kLanguageEnglish);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "Failed to get register key: Language");
  EXPECT_EQ(shown_[0].caption, "Error");
  EXPECT_EQ(shown_[0].style, unsigned(kMbOk));

  shown_.clear();
  GlobalKey()->DeleteValue(kLanguageValue);
  EXPECT_EQ(Start(""), kLanguageEnglish);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "Failed to get register key: Language");
}

TEST_F(LanguageChoiceTest, DamagedStoreNamesTheFileAndFallsBackToEnglish) {
  fs::create_directories(folder_);
  std::ofstream(registry_->StorePath(RegRoot::LocalMachine)) << "[HKEY_LOCAL_MACHINE\\Software\n";
  EXPECT_EQ(Start(""), kLanguageEnglish);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_TRUE(shown_[0].text.starts_with("Failed to create the registry!\n\n")) << shown_[0].text;
  EXPECT_NE(shown_[0].text.find(registry_->StorePath(RegRoot::LocalMachine).string()),
            std::string::npos);
}

TEST(LanguagePack, NamesAndMissingPackMessages) {
  EXPECT_EQ(LanguagePackFileName(ShellProgram::Console, 1), "KelvraChinese.rcc");
  EXPECT_EQ(LanguagePackFileName(ShellProgram::Calibration, 2), "TessalyEnglish.rcc");
  EXPECT_EQ(MissingPackMessage(ShellProgram::Console, "KelvraEnglish.rcc"),
            "Cannot find language file: KelvraEnglish.rcc!");
  EXPECT_EQ(MissingPackMessage(ShellProgram::Calibration, "TessalyEnglish.rcc"),
            "Cannot find language file: TessalyEnglish.rcc");
}

}  // namespace
}  // namespace orvelle
