// Both forms of ShowResourceMessage, and the services behind them.
#include <gtest/gtest.h>

#include <QDialog>

#include "shell/language_library.h"
#include "shell/recording_message_boxes.h"
#include "shell/resource_message.h"

namespace orvelle {
namespace {

// The console's form has no owner and the given style; the calibration
// program's is owned, OK only, without icon. The suffix follows without a
// separator; a missing string is an empty text.
TEST(ResourceMessage, BothFormsShowThePacksTextsAsAsked) {
  LanguageLibrary library;
  ASSERT_TRUE(library.Load("ShellTestPack", {ORVELLE_SHELL_TEST_PACK_DIR}));
  SetCurrentLanguageLibrary(&library);
  RecordingMessageBoxes boxes;
  QDialog dialog;
  boxes.ScriptAnswers({kIdNo});
  EXPECT_EQ(ShowResourceMessage(1, 2, kMbYesNo | kMbIconQuestion, "Language"), kIdNo);
  EXPECT_EQ(ShowResourceMessage(1, 2, kMbYesNo, ""), kIdYes) << "unscripted: the default button";
  EXPECT_EQ(ShowResourceMessage(&dialog, 1, 2, "DoubleClickHeight"), kIdOk);
  ShowResourceMessage(4242, 4343, kMbOk, "");
  ShowResourceMessage(4242, 2, kMbOk, "x");
  std::vector<std::tuple<QWidget*, QString, QString, unsigned>> shown;
  for (const RecordedMessageBox& b : boxes.Boxes())
    shown.emplace_back(b.owner, b.text, b.caption, b.style);
  EXPECT_EQ(shown, (decltype(shown){
                       {nullptr, "Text oneLanguage", "Caption two", kMbYesNo | kMbIconQuestion},
                       {nullptr, "Text one", "Caption two", kMbYesNo},
                       {&dialog, "Text oneDoubleClickHeight", "Caption two", kMbOk},
                       {nullptr, "", "", kMbOk},
                       {nullptr, "x", "Caption two", kMbOk},
                   }));
  SetCurrentLanguageLibrary(nullptr);
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
