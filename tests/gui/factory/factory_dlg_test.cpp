// The main window against the simulated controller: start-up, the two
// operations with the controller's answers, refusals, time-outs, and a
// controller that is not connected or unplugged.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>

#include "devlink/hid/default_bus.h"
#include "factory/factory_app.h"
#include "factory/factory_strings.h"
#include "factory_fixture.h"
#include "shell/dialog_support.h"

namespace orvelle::factory_test {
namespace {

const QString kError = QStringLiteral(u"错误");
const QString kAttention = QStringLiteral(u"注意");
const QString kTimedOut = QStringLiteral(u"操作超时，请重试!");
const QString kNotConnected = QStringLiteral(u"设备没有连接，不能访问!");

using Frames = std::vector<std::vector<uint8_t>>;

std::vector<uint8_t> Bytes(std::initializer_list<uint8_t> bytes) {
  return bytes;
}

bool IsVisibleChoice(QDialog& d, int id) {
  return !DialogItem(d, id)->isHidden();
}
bool IsChecked(QDialog& d, int id) {
  return DialogItemAs<QAbstractButton>(d, id)->isChecked();
}

class FactoryMainTest : public FactoryDialogTest {
 protected:
  // The touch-count dialog is checked by `look`, then ended with OK (no click).
  void AcceptTouchDialog(std::function<void(CTouchNumDlg&)> look = {}) {
    answerDialog_ = [look](QDialog& d) {
      auto& touch = dynamic_cast<CTouchNumDlg&>(d);
      if (look) look(touch);
      touch.OnOK();
      return touch.result();
    };
  }

  void ExpectOneBox(const QString& text, const QString& caption) {
    ASSERT_EQ(boxes_.Count(), 1u);
    const RecordedMessageBox box = boxes_.Boxes().front();
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, caption);
    EXPECT_EQ(box.owner, dialog_.get());
    EXPECT_EQ(box.style, unsigned{kMbOk});
    EXPECT_TRUE(box.onWindowThread);
  }
};

TEST_F(FactoryMainTest, ProductionLinkIsTheFactoryProfile) {
  const auto link = COrvelleFactoryConfig2App::MakeProductionLink();
  const LinkProfile& p = link->Profile();
  EXPECT_EQ(p.vendorIds, std::vector<uint16_t>{0x2A5C});
  EXPECT_EQ(p.productIds, std::vector<uint16_t>{19});
  EXPECT_EQ(p.threadChannels, std::vector<int>{kCommandChannel});
  EXPECT_EQ(p.answerTimeout, 20000ms);
  EXPECT_EQ(p.recogniser, Recogniser::Factory);
  EXPECT_EQ(p.deviceChanges, DeviceChangeHandling::RegisterOnly);
}

TEST_F(FactoryMainTest, StartsConnectedWithItsOwnTextsAndIcon) {
  PlugController();
  OpenDialog();
  EXPECT_EQ(dialog_->StatusText(), QStringLiteral(u"设备已连接"));
  EXPECT_EQ(DialogItemAs<QLineEdit>(*dialog_, 1008)->text(), QStringLiteral(u"设备已连接"));
  EXPECT_EQ(dialog_->windowTitle(), QStringLiteral(u"红外触摸屏工厂配置工具"));
  EXPECT_FALSE(dialog_->windowIcon().isNull());
  ASSERT_NE(dialog_->SystemMenu(), nullptr);
  EXPECT_EQ(dialog_->SystemMenu()->actions().value(0)->text(),
            QStringLiteral(u"关于 OrvelleFactoryConfig2(&A)..."));
  EXPECT_EQ(boxes_.Count(), 0u);
}

TEST_F(FactoryMainTest, ButtonsWithoutAnOperationAreUnavailableAndSendNothing) {
  PlugController();
  OpenDialog();
  const uint64_t before = sim_->Events().LastSeq();
  for (int id : {1002, 1003, 1004}) {
    auto* button = DialogItemAs<QAbstractButton>(*dialog_, id);
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(button->toolTip().isEmpty());
    button->click();
  }
  EXPECT_TRUE(Requests(before).empty());
  EXPECT_EQ(boxes_.Count(), 0u);
  EXPECT_TRUE(shownDialogs_.empty());
}

TEST_F(FactoryMainTest, StartWithoutControllerShowsTheMessageAndEnds) {
  bool ownerWasMainWindow = false;
  COrvelleFactoryConfig2App app([this] { return QuickFactoryLink(folder_.Path(), 10s); });
  boxes_.SetWhileOpen([&](const RecordedMessageBox& box) {
    ownerWasMainWindow = box.owner != nullptr && box.owner == app.MainWindow();
  });
  // Returns without a modal loop: a dialog left open would hang the test.
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.DialogResult(), QDialog::Rejected);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].text, QStringLiteral(u"设备还没有连接，请检查!"));
  EXPECT_EQ(boxes_.Boxes()[0].caption, kAttention);
  EXPECT_EQ(boxes_.Boxes()[0].style, unsigned{kMbOk});
  EXPECT_TRUE(ownerWasMainWindow);
}

TEST_F(FactoryMainTest, BasicInfoShowsAnEightCharacterModelText) {
  PlugController();  // "OVT-6510": eight characters, no zero byte
  OpenDialog();
  QString shown;
  answerDialog_ = [&](QDialog& d) {
    shown = DialogItemAs<QLineEdit>(d, 1007)->text();
    return int{QDialog::Accepted};
  };
  std::vector<std::chrono::milliseconds> pauses;
  dialog_->Link().RecordPauses([&](std::chrono::milliseconds p) { pauses.push_back(p); });
  dialog_->ShowBasicInfo();
  EXPECT_EQ(shown, QStringLiteral("OVT-6510"));
  EXPECT_EQ(Requests(), (Frames{Bytes({0x07, 0xF2, 0x01, 0x01, 0xFF})}));
  EXPECT_EQ(pauses, std::vector{20ms}) << "the controller needs a pause after answering";
  EXPECT_EQ(boxes_.Count(), 0u);
}

TEST_F(FactoryMainTest, AnswerAfterTheWaitIsSeenWhilePolling) {
  PlugController();
  OpenDialog(150ms);
  sim_->SetFault({kCommandReportId, GET_MODEL}, {FaultKind::Delay, false, 500ms});
  dialog_->ShowBasicInfo();
  EXPECT_EQ(shownDialogs_, std::vector<std::string>{"CInfoDlg"});
  EXPECT_EQ(dialog_->Shared().modelText, QStringLiteral("OVT-6510"));
}

TEST_F(FactoryMainTest, LimitsAboveSixteenHideEveryChoiceAndOkSendsZero) {
  PlugController();
  OpenDialog();
  AnswerNextWith(TOUCH_SETTINGS, {3, 20, 4});
  AcceptTouchDialog([](CTouchNumDlg& d) {
    for (int id = 1009; id <= 1014; ++id)
      EXPECT_FALSE(IsVisibleChoice(d, id)) << id;
  });
  dialog_->SetTouchCount();
  EXPECT_EQ(dialog_->Shared().touchMaximum, 0);
  EXPECT_EQ(dialog_->Shared().touchCount, 0);
  EXPECT_EQ(Requests().back(), Bytes({0x07, 0x11, 0x02, 0x04, 0x00, 0xFF}));
  // The controller refuses a count of 0: {4, 0}.
  ExpectOneBox(QStringLiteral(u"设置失败!"), kError);
}

TEST_F(FactoryMainTest, CurrentAboveTheMaximumBecomesZeroAndCancelSendsNothing) {
  PlugController();
  OpenDialog();
  AnswerNextWith(TOUCH_SETTINGS, {3, 10, 16});
  bool looked = false;
  answerDialog_ = [&](QDialog& d) {
    looked = true;
    EXPECT_FALSE(IsVisibleChoice(d, 1014));
    for (int id = 1009; id <= 1013; ++id)
      EXPECT_TRUE(IsVisibleChoice(d, id)) << id;
    EXPECT_TRUE(IsChecked(d, 1009));
    DialogItemAs<QAbstractButton>(d, 2)->click();
    return d.result();
  };
  dialog_->SetTouchCount();
  EXPECT_TRUE(looked);
  EXPECT_EQ(dialog_->Shared().touchMaximum, 10);
  EXPECT_EQ(dialog_->Shared().touchCount, 0);
  EXPECT_EQ(Requests().size(), 1u);  // the limits request only
  EXPECT_EQ(boxes_.Count(), 0u);
}

TEST_F(FactoryMainTest, OkWithoutAClickSendsTheCurrentCount) {
  ControllerState state;
  state.touchMaximum = 10;
  state.touchCount = 4;
  PlugController(state);
  OpenDialog();
  AcceptTouchDialog([](CTouchNumDlg& d) {
    EXPECT_FALSE(IsVisibleChoice(d, 1014));
    EXPECT_TRUE(IsVisibleChoice(d, 1013));
    EXPECT_TRUE(IsChecked(d, 1011));
  });
  std::vector<std::chrono::milliseconds> pauses;
  dialog_->Link().RecordPauses([&](std::chrono::milliseconds p) { pauses.push_back(p); });
  dialog_->SetTouchCount();
  EXPECT_EQ(pauses, std::vector{20ms}) << "after the write, not after the read";
  EXPECT_EQ(Requests(), (Frames{Bytes({0x07, 0x11, 0x01, 0x03, 0xFF}),
                                Bytes({0x07, 0x11, 0x02, 0x04, 0x04, 0xFF})}));
  ExpectOneBox(QStringLiteral(u"设置成功!"), kAttention);
}

TEST_F(FactoryMainTest, ChosenCountIsWrittenToTheController) {
  ControllerState state;
  state.touchMaximum = 16;
  state.touchCount = 4;
  PlugController(state);
  OpenDialog();
  AcceptTouchDialog([](CTouchNumDlg& d) { DialogItemAs<QAbstractButton>(d, 1014)->click(); });
  dialog_->SetTouchCount();
  EXPECT_EQ(sim_->State().touchCount, 16);
  ExpectOneBox(QStringLiteral(u"设置成功!"), kAttention);
}

TEST_F(FactoryMainTest, UnansweredRequestsTimeOut) {
  PlugController();
  OpenDialog(100ms);
  sim_->SetFault({kCommandReportId, GET_MODEL}, {FaultKind::Silent});
  dialog_->ShowBasicInfo();
  EXPECT_TRUE(shownDialogs_.empty());
  EXPECT_EQ(boxes_.Count(), 0u);  // basic information gives up silently

  AnswerNextWith(TOUCH_SETTINGS, {3, 10, 4}, /*keepSilent=*/true);
  AcceptTouchDialog();
  dialog_->SetTouchCount();  // limits answered, the write is not
  EXPECT_EQ(shownDialogs_, std::vector<std::string>{"CTouchNumDlg"});
  ExpectOneBox(kTimedOut, kError);

  boxes_.Clear();
  dialog_->SetTouchCount();  // the limits request is not answered either
  EXPECT_EQ(shownDialogs_.size(), 1u);
  ExpectOneBox(kTimedOut, kError);
}

TEST_F(FactoryMainTest, AnswerToTheOtherRequestDoesNotPassForTheAwaitedOne) {
  PlugController();
  OpenDialog(100ms);
  // Each request is lost, and what arrives is the answer to the other kind,
  // as a late answer to an earlier request would.
  ReplyToNext(GET_MODEL, TOUCH_SETTINGS, {3, 10, 4});
  dialog_->ShowBasicInfo();
  EXPECT_TRUE(shownDialogs_.empty());
  EXPECT_EQ(boxes_.Count(), 0u);

  ReplyToNext(TOUCH_SETTINGS, GET_MODEL, {1, 'O', 'V', 'T', '-', '6', '5', '1', '0'});
  dialog_->SetTouchCount();
  EXPECT_TRUE(shownDialogs_.empty());
  ExpectOneBox(kTimedOut, kError);
}

TEST_F(FactoryMainTest, NotConnectedAtRequestTimeSendsNothing) {
  PlugController();
  OpenDialog();
  dialog_->Link().SetConnected(0);
  const uint64_t before = sim_->Events().LastSeq();

  dialog_->ShowBasicInfo();
  ExpectOneBox(kNotConnected, kError);

  boxes_.Clear();
  dialog_->SetTouchCount();
  ASSERT_EQ(boxes_.Count(), 2u);
  EXPECT_EQ(boxes_.Boxes()[0].text, kNotConnected);
  EXPECT_EQ(boxes_.Boxes()[1].text, kTimedOut);
  EXPECT_TRUE(Requests(before).empty());
  EXPECT_TRUE(shownDialogs_.empty());
}

// The tool does not re-open: the status stays, and the next button says why
// nothing can be done.
TEST_F(FactoryMainTest, AfterAnUnplugTheNextButtonSaysSo) {
  PlugController();
  OpenDialog(100ms);
  sim_->Unplug();
  // Give the removal notices time to arrive and be handled.
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < 300)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(dialog_->StatusText(), QStringLiteral(u"设备已连接"));
  EXPECT_NE(dialog_->Link().IsConnected(), 0);
  dialog_->SetTouchCount();
  ExpectOneBox(factory::ControllerRemovedText(), kError);
}

// An answer counts only with its report ID, code, sub-function and exact
// payload length, and only for the bytes the frame holds.
TEST_F(FactoryMainTest, AnswersOfOtherShapesAreIgnored) {
  PlugController();
  OpenDialog();
  const auto answer = [&](uint8_t reportId, uint8_t code, const std::vector<uint8_t>& payload,
                          size_t length = 64) {
    const auto frame = testing::Request(reportId, code, payload);
    dialog_->OnAnswer(std::span<const uint8_t>(frame).first(length));
  };
  answer(7, GET_MODEL, {1, 'A', 'B', 0, 'C', 'D', 'E', 'F', 'G'});
  answer(7, TOUCH_SETTINGS, {3, 16, 16});
  struct Case {
    const char* why;
    uint8_t reportId, code;
    std::vector<uint8_t> payload;
    size_t length = 64;
  };
  const Case cases[] = {
      {"not a read", 7, GET_MODEL, {2, 'X', 'X', 'X', 'X', 'X', 'X', 'X', 'X'}},
      {"model text one short", 7, GET_MODEL, {1, 'X', 'X', 'X', 'X', 'X', 'X', 'X'}},
      {"model text one long", 7, GET_MODEL, {1, 'X', 'X', 'X', 'X', 'X', 'X', 'X', 'X', 'X'}},
      {"calibration frame", 6, GET_MODEL, {1, 'X', 'X', 'X', 'X', 'X', 'X', 'X', 'X'}},
      {"cut short", 7, GET_MODEL, {1, 'X', 'X', 'X', 'X', 'X', 'X', 'X', 'X'}, 3},
      {"the console's read", 7, TOUCH_SETTINGS, {1, 2, 2}},
      {"limits one short", 7, TOUCH_SETTINGS, {3, 2}},
      {"limits one long", 7, TOUCH_SETTINGS, {3, 2, 2, 2}},
  };
  for (const Case& c : cases) {
    answer(c.reportId, c.code, c.payload, c.length);
    EXPECT_EQ(dialog_->Shared().modelText, QStringLiteral("AB")) << c.why;
    EXPECT_EQ(dialog_->Shared().touchMaximum, 16) << c.why;
    EXPECT_EQ(dialog_->Shared().touchCount, 16) << c.why;
  }
}

}  // namespace
}  // namespace orvelle::factory_test
