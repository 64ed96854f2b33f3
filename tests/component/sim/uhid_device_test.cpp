// The uhid device end against a stand-in for the kernel's side of /dev/uhid:
// a socket that keeps event boundaries, as the character device does.
#include <gtest/gtest.h>

#include <linux/uhid.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "sim/uhid_device.h"
#include "tests/support/hidraw_like_bus.h"

namespace orvelle {
namespace {

constexpr uint8_t kFeatureId = 10;

class FakeUhidKernel {
 public:
  FakeUhidKernel() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds_), 0); }
  ~FakeUhidKernel() { close(fds_[0]); }
  int DeviceEnd() const { return fds_[1]; }

  // The next event the device wrote; type 0xFF when none came in time.
  uhid_event Next() {
    auto event = std::make_unique<uhid_event>();
    event->type = 0xFF;
    pollfd fd{fds_[0], POLLIN, 0};
    if (poll(&fd, 1, 5000) == 1 && read(fds_[0], event.get(), sizeof *event) <= 0)
      event->type = 0xFF;
    return *event;
  }
  void Send(const uhid_event& event) {
    ASSERT_EQ(write(fds_[0], &event, sizeof event), static_cast<ssize_t>(sizeof event));
  }

 private:
  int fds_[2] = {-1, -1};
};

VirtualDeviceIdentity Controller() {
  return {3,
          0x2A5C,
          19,
          "Simulated touch controller",
          testing::ControllerLikeDescriptor(4),
          "usb-0000:00:14.0-1/input0"};
}

TEST(UhidDevice, CreatesTheDeviceAnswersTheKernelAndDestroysIt) {
  FakeUhidKernel kernel;
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<std::vector<uint8_t>> outputs;
  UhidDevice device(
      Controller(),
      [&](std::span<const uint8_t> r) {
        std::lock_guard lock(mutex);
        outputs.emplace_back(r.begin(), r.end());
        arrived.notify_all();
      },
      [](uint8_t id) {
        return id == kFeatureId ? std::vector<uint8_t>{id, 10} : std::vector<uint8_t>{};
      });
  ASSERT_TRUE(device.PlugOnto(kernel.DeviceEnd(), "/dev/uhid"));

  const uhid_event create = kernel.Next();
  ASSERT_EQ(create.type, UHID_CREATE2);
  EXPECT_STREQ(reinterpret_cast<const char*>(create.u.create2.name), "Simulated touch controller");
  EXPECT_STREQ(reinterpret_cast<const char*>(create.u.create2.phys), "usb-0000:00:14.0-1/input0");
  EXPECT_EQ(create.u.create2.bus, 3);
  EXPECT_EQ(create.u.create2.vendor, 0x2A5Cu);
  EXPECT_EQ(create.u.create2.product, 19u);
  const auto descriptor = testing::ControllerLikeDescriptor(4);
  ASSERT_EQ(create.u.create2.rd_size, descriptor.size());
  EXPECT_TRUE(std::equal(descriptor.begin(), descriptor.end(), create.u.create2.rd_data));

  // Feature reads: the one the device has, one it has not; a feature write
  // is refused.
  struct Request {
    uint8_t type;
    uint8_t reportNumber;
    uint16_t error;
    uint16_t size;
  };
  for (const Request& r :
       {Request{UHID_GET_REPORT, kFeatureId, 0, 2}, Request{UHID_GET_REPORT, 11, EIO, 0},
        Request{UHID_SET_REPORT, kFeatureId, EIO, 0}}) {
    SCOPED_TRACE(static_cast<int>(r.reportNumber));
    uhid_event ask{};
    ask.type = r.type;
    ask.u.get_report = {.id = 77, .rnum = r.reportNumber, .rtype = UHID_FEATURE_REPORT};
    kernel.Send(ask);
    const uhid_event reply = kernel.Next();
    if (r.type == UHID_GET_REPORT) {
      ASSERT_EQ(reply.type, UHID_GET_REPORT_REPLY);
      EXPECT_EQ(reply.u.get_report_reply.id, 77u);
      EXPECT_EQ(reply.u.get_report_reply.err, r.error);
      EXPECT_EQ(reply.u.get_report_reply.size, r.size);
    } else {
      ASSERT_EQ(reply.type, UHID_SET_REPORT_REPLY);
      EXPECT_EQ(reply.u.set_report_reply.id, 77u);
      EXPECT_EQ(reply.u.set_report_reply.err, r.error);
    }
  }

  uhid_event open{};
  open.type = UHID_OPEN;
  kernel.Send(open);
  uhid_event output{};
  output.type = UHID_OUTPUT;
  output.u.output.rtype = UHID_OUTPUT_REPORT;
  output.u.output.size = 3;
  output.u.output.data[0] = 7;
  output.u.output.data[1] = 0xAB;
  output.u.output.data[2] = 0xCD;
  kernel.Send(output);
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(5), [&] { return !outputs.empty(); }));
    EXPECT_EQ(outputs.front(), (std::vector<uint8_t>{7, 0xAB, 0xCD}));
  }
  EXPECT_EQ(device.OpenCount(), 1u);
  const std::vector<uint8_t> report = {7, 1, 2, 3};
  ASSERT_EQ(device.SendInputReport(report), 1u);
  const uhid_event input = kernel.Next();
  ASSERT_EQ(input.type, UHID_INPUT2);
  EXPECT_EQ(input.u.input2.size, report.size());
  EXPECT_TRUE(std::equal(report.begin(), report.end(), input.u.input2.data));

  device.Unplug();
  EXPECT_EQ(kernel.Next().type, UHID_DESTROY);
  EXPECT_FALSE(device.IsPlugged());
}

}  // namespace
}  // namespace orvelle
