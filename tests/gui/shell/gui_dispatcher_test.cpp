// The window thread's answer dispatcher with the real link over an in-memory
// bus: handlers run on the window thread, their message boxes open there, and
// the wait a box belongs to ends after it closes.
#include <gtest/gtest.h>

#include <QtCore/qtestsupport_core.h>
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <string>
#include <vector>

#include "devlink/frame.h"
#include "devlink/usb_transfer.h"
#include "shell/gui_dispatcher.h"
#include "shell/language_library.h"
#include "shell/recording_message_boxes.h"
#include "shell/resource_message.h"
#include "tests/support/frames.h"
#include "tests/support/hidraw_like_bus.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;
using orvelle::testing::HidrawLikeBus;

constexpr uint8_t kAnswered = 0x81;  // the request the controller answers
constexpr uint8_t kUnasked = 0x12;   // a frame the controller sends by itself

bool OnWindowThread() {
  return QThread::currentThread() == qApp->thread();
}

class BoxingSink : public AnswerSink {
 public:
  void OnAnswer(std::span<const uint8_t> frame) override {
    allOnWindowThread = allOnWindowThread && OnWindowThread();
    events.push_back(frame[1] == kAnswered ? "handled answer" : "handled unasked");
    if (frame[1] == kAnswered) ShowResourceMessage(1085, 1080, kMbOk, "");
  }
  std::vector<std::string> events;
  bool allOnWindowThread = true;
};

class GuiDispatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.Load("KelvraEnglish", {QCoreApplication::applicationDirPath()}));
    SetCurrentLanguageLibrary(&library_);
    bus_->SetResponder([](HidrawLikeBus& bus, size_t index, const HidrawLikeBus::Report& r) {
      if (r.size() > 1 && r[1] == kAnswered)
        bus.PushInput(index, testing::Request(kCommandReportId, kAnswered, {2, 1}));
    });
    LinkProfile profile = LinkProfile::Console();
    profile.startPause = 0ms;
    profile.answerTimeout = 10s;  // a limit only: every answer here comes at once
    link_ = std::make_unique<CUSBTransfer>(profile, bus_);
    link_->SetOwner(&sink_);
    link_->TakeUnasked([](std::span<const uint8_t> frame) { return frame[1] == kUnasked; });
    dispatcher_ = std::make_unique<GuiAnswerDispatcher>(*link_);
    ASSERT_TRUE(link_->Open());
  }
  void TearDown() override {
    link_->StopThreads();
    dispatcher_.reset();
    SetCurrentLanguageLibrary(nullptr);
  }

  LanguageLibrary library_;
  std::shared_ptr<HidrawLikeBus> bus_ = std::make_shared<HidrawLikeBus>(8);
  BoxingSink sink_;
  RecordingMessageBoxes boxes_;
  std::unique_ptr<CUSBTransfer> link_;
  std::unique_ptr<GuiAnswerDispatcher> dispatcher_;
};

// When idle through the event loop; inside a pause without it.
TEST_F(GuiDispatcherTest, UnaskedFramesAreHandledOnTheWindowThreadWhenIdleAndInPauses) {
  for (int i = 0; i < 20; ++i)
    bus_->PushInput(kCommandChannel, testing::Request(kCommandReportId, kUnasked, {1, 0}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return sink_.events.size() == 20; }));
  bus_->PushInput(kCommandChannel, testing::Request(kCommandReportId, kUnasked, {1, 1}));
  for (int i = 0; i < 1000 && sink_.events.size() < 21; ++i)
    dispatcher_->Pause(10ms);
  EXPECT_EQ(sink_.events.size(), 21u);
  EXPECT_TRUE(sink_.allOnWindowThread);
}

// A handler's box opens on the window thread and the wait it belongs to ends
// after it closes, running the work deferred while it lasted. A frame that arrives while the box is
// open waits for the handler and is handled once the window thread is idle again, although the
// drain it asked for ran inside the box's event loop, where handlers may not nest.
TEST_F(GuiDispatcherTest, HandlersBoxOpensOnTheWindowThreadAndTheWaitEndsAfterItCloses) {
  boxes_.SetWhileOpen([&](const RecordedMessageBox& box) {
    sink_.events.push_back(box.onWindowThread ? "box open" : "box open elsewhere");
    dispatcher_->WhenIdle([&] { sink_.events.push_back("deferred work"); });
    bus_->PushInput(kCommandChannel, testing::Request(kCommandReportId, kUnasked, {1, 0}));
    // The box's own event loop runs while the user reads it.
    QEventLoop reading;
    QTimer::singleShot(100ms, &reading, &QEventLoop::quit);
    reading.exec();
    sink_.events.push_back("box closed");
  });

  EXPECT_TRUE(link_->SendAndWait(5, testing::Request(kCommandReportId, kAnswered, {2})));
  sink_.events.push_back("wait ended");
  EXPECT_TRUE(QTest::qWaitFor([&] { return sink_.events.size() == 6; }))
      << ::testing::PrintToString(sink_.events);
  EXPECT_EQ(sink_.events,
            (std::vector<std::string>{"handled answer", "box open", "box closed", "deferred work",
                                      "wait ended", "handled unasked"}));
  EXPECT_TRUE(sink_.allOnWindowThread);
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Boxes()[0].text, library_.String(1085));
}

// Paints, and what it received, with whether the window thread was waiting.
class Window : public QWidget {
 public:
  void paintEvent(QPaintEvent*) override {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    busyPaints += waiting && cursor && cursor->shape() == Qt::BusyCursor;
  }
  void keyPressEvent(QKeyEvent*) override { ++keys; }
  bool waiting = false;
  int busyPaints = 0;
  int keys = 0;
};

// While the window thread waits its window paints under a busy cursor, but
// neither input nor timer ticks are acted on until the wait ends.
TEST_F(GuiDispatcherTest, AWaitingWindowPaintsAndActsOnNothing) {
  Window window;
  window.resize(40, 40);
  window.show();
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(1);
  QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
  window.update();
  window.waiting = true;
  dispatcher_->Pause(200ms);
  window.waiting = false;
  EXPECT_GT(window.busyPaints, 0);
  EXPECT_EQ(window.keys, 0);
  EXPECT_EQ(ticks, 0);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace orvelle
