// The Windows HID bus: discovery and watching on a machine without a
// controller (Wine has none), and the overlapped channel over a pipe, which
// Wine supports as it does HID handles.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "devlink/frame.h"
#include "devlink/hid/default_bus.h"
#include "devlink/hid/event.h"
#include "devlink/hid/win_bus.h"
#include "devlink/usb_transfer.h"

namespace orvelle {
namespace {

using namespace std::chrono_literals;

TEST(WindowsHidBus, NoControllerMeansNoChannelsNoThreadsAndNoWaiting) {
  auto bus = MakeDefaultBus();
  LinkProfile profile = LinkProfile::Console();
  profile.startPause = 0ms;
  profile.answerTimeout = 3600s;  // a link that waits hangs the test
  CUSBTransfer link(profile, bus);
  EXPECT_FALSE(link.Open());
  EXPECT_EQ(link.AcceptedCount(), 0);
  EXPECT_FALSE(link.IsConnected());
  EXPECT_FALSE(link.HasThreads());
  std::vector<uint8_t> frame(64, 0);
  frame[0] = 7;
  EXPECT_FALSE(link.SendAndWait(5, frame));
  for (const HidCollection& c : bus->Enumerate())
    EXPECT_TRUE(bus->Owns(c.path)) << c.path;
  EXPECT_FALSE(bus->Owns("/dev/hidraw0#col01"));
}

TEST(WindowsHidBus, WatchingStartsAndEndsOnItsOwnWindow) {
  auto bus = MakeWinHidBus();
  for (int i = 0; i < 2; ++i) {  // the window class is registered once per process
    auto watch = bus->WatchDevices([](const DeviceNotice&) {});
    EXPECT_NE(watch, nullptr);
  }
}

// Both ends of an overlapped byte pipe as channels: the reader with an input
// length of 8, the writer padding to an output length of 8.
class OverlappedChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = "\\\\.\\pipe\\orvelle-test-" +
                             std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(counter_++);
    HANDLE server = ::CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096,
                                       4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    HANDLE client = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(client, INVALID_HANDLE_VALUE);
    reader_ = MakeOverlappedChannel(server, 8, 0);
    writer_ = MakeOverlappedChannel(client, 0, 8);
  }

  static inline int counter_ = 0;
  std::unique_ptr<HidChannel> reader_, writer_;
  Event stop_;
};

TEST_F(OverlappedChannelTest, ReportsArriveWholeAndPaddedNeverPastTheBuffer) {
  const uint8_t report[] = {3, 0xA1, 0xB2};
  struct Case {
    size_t buffer;
    size_t count;
  };
  for (const Case c : {Case{16, 8}, Case{4, 4}}) {
    ASSERT_TRUE(writer_->Write(report, stop_));
    std::vector<uint8_t> buf(c.buffer, 0xEE);
    const ReadResult r = reader_->Read(buf, stop_);
    ASSERT_EQ(r.status, ReadStatus::Data);
    ASSERT_EQ(r.count, c.count);
    std::vector<uint8_t> expected = {3, 0xA1, 0xB2, 0, 0, 0, 0, 0};
    expected.resize(c.count);
    expected.resize(c.buffer, 0xEE);
    EXPECT_EQ(buf, expected) << c.buffer;
  }
}

TEST_F(OverlappedChannelTest, TheStopEventEndsABlockedReadAndTheChannelStaysUsable) {
  std::vector<uint8_t> buf(8);
  ReadResult blocked;
  std::thread readerThread([&] { blocked = reader_->Read(buf, stop_); });
  std::this_thread::sleep_for(100ms);  // let it block; a missed stop would hang the test
  stop_.Set();
  readerThread.join();
  EXPECT_EQ(blocked.status, ReadStatus::Stopped);
  EXPECT_EQ(reader_->Read(buf, stop_).status, ReadStatus::Stopped);  // already set: no read

  // The cancelled read took nothing: the next report reaches the next read.
  stop_.Reset();
  const uint8_t report[] = {9, 8, 7, 6, 5, 4, 3, 2};
  ASSERT_TRUE(writer_->Write(report, stop_));
  const ReadResult r = reader_->Read(buf, stop_);
  ASSERT_EQ(r.status, ReadStatus::Data);
  EXPECT_EQ(buf, std::vector<uint8_t>(std::begin(report), std::end(report)));
}

TEST_F(OverlappedChannelTest, AClosedOtherEndIsGone) {
  writer_.reset();
  std::vector<uint8_t> buf(8);
  EXPECT_EQ(reader_->Read(buf, stop_).status, ReadStatus::Gone);
  EXPECT_FALSE(reader_->Write(std::vector<uint8_t>{}, stop_));
}

}  // namespace
}  // namespace orvelle
