// Both forms of ShowResourceMessage, and the services behind them.
#include <gtest/gtest.h>

#include <QDialog>

#include "shell/language_library.h"
#include "shell/recording_message_boxes.h"
#include "shell/resource_message.h"

namespace orvelle {
namespace {

class ResourceMessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.Load("ShellTestPack", {ORVELLE_SHELL_TEST_PACK_DIR}));
    SetCurrentLanguageLibrary(&library_);
  }
  LanguageLibrary library_;
  RecordingMessageBoxes boxes_;
};

TEST_F(ResourceMessageTest, ConsoleFormHasNoOwnerAndTheGivenStyle) {
  boxes_.ScriptAnswers({kIdNo});
  EXPECT_EQ(ShowResourceMessage(1, 2, kMbYesNo | kMbIconQuestion, "Language"), kIdNo);
  EXPECT_EQ(ShowResourceMessage(1, 2, kMbYesNo, ""), kIdYes) << "unscripted: the default button";
  const auto shown = boxes_.Boxes();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "Text oneLanguage") << "the suffix follows without a separator";
  EXPECT_EQ(shown[0].caption, "Caption two");
  EXPECT_EQ(shown[0].style, unsigned(kMbYesNo | kMbIconQuestion));
  EXPECT_EQ(shown[0].owner, nullptr);
}

TEST_F(ResourceMessageTest, CalibrationFormIsOwnedOkOnlyWithoutIcon) {
  QDialog dialog;
  EXPECT_EQ(ShowResourceMessage(&dialog, 1, 2, "DoubleClickHeight"), kIdOk);
  ASSERT_EQ(boxes_.Count(), 1u);
  const RecordedMessageBox box = boxes_.Boxes()[0];
  EXPECT_EQ(box.owner, &dialog);
  EXPECT_EQ(box.style, unsigned(kMbOk));
  EXPECT_EQ(box.text, "Text oneDoubleClickHeight");
}

TEST_F(ResourceMessageTest, MissingStringsGiveEmptyTexts) {
  ShowResourceMessage(4242, 4343, kMbOk, "");
  ShowResourceMessage(4242, 2, kMbOk, "x");
  const auto shown = boxes_.Boxes();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_TRUE(shown[0].text.isEmpty());
  EXPECT_TRUE(shown[0].caption.isEmpty());
  EXPECT_EQ(shown[1].text, "x");
}

TEST(MessageBoxServices, RecordersNestAndLoggingAnswersTheDefault) {
  MessageBoxService* before = &MessageBoxes();
  {
    RecordingMessageBoxes outer;
    {
      RecordingMessageBoxes inner;
      EXPECT_EQ(&MessageBoxes(), &inner);
    }
    EXPECT_EQ(&MessageBoxes(), &outer);
  }
  EXPECT_EQ(&MessageBoxes(), before);

  LoggingMessageBoxes logging;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(logging.Show(nullptr, "No controller.", "Error", kMbOk | kMbIconError), kIdOk);
  EXPECT_EQ(logging.Show(nullptr, "Restore?", "Information", kMbYesNo), kIdYes);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Error: No controller.\nInformation: Restore?\n");
}

}  // namespace
}  // namespace orvelle
