// A virtual device in the simulator folder (a socket, or a pipe on Windows),
// found, opened and watched through the simulator bus and the real
// descriptor parser.
#include <gtest/gtest.h>

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <sddl.h>
// clang-format on
#else
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>

#include "devlink/frame.h"
#include "devlink/hid/event.h"
#include "devlink/hid/sim_bus.h"
#include "devlink/hid/sim_bus_link.h"
#include "devlink/usb_transfer.h"
#include "sim/virtual_device.h"
#include "tests/support/hidraw_like_bus.h"
#include "tests/support/sim_fixture.h"

namespace orvelle {
namespace {

using testing::Quick;
using testing::Request;

VirtualDeviceIdentity Controller(uint16_t ch3Output = 4) {
  return {3, 0x2A5C, 19, "Simulated touch controller",
          testing::ControllerLikeDescriptor(ch3Output)};
}

// What a simulator that crashed leaves at `node`.
void LeaveStaleNode(const std::string& node) {
#ifdef _WIN32
  const std::wstring gone = SimPipePrefix() + L"gone";
  std::ofstream(node) << std::string(gone.begin(), gone.end());
#else
  const int stale = socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un address{.sun_family = AF_UNIX};
  std::strcpy(address.sun_path, node.c_str());
  ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(stale);
#endif
}

TEST(SimTransport, BadDescriptorsAndStaleNodesAreSkipped) {
  testing::TempFolder dir;
  VirtualDeviceIdentity broken = Controller();
  broken.reportDescriptor.pop_back();  // an End Collection goes missing
  VirtualHidDevice device(broken, nullptr);
  ASSERT_TRUE(device.Plug(SimNodePath(dir.Path(), "broken")));
  const std::string stalePath = SimNodePath(dir.Path(), "stale");
  LeaveStaleNode(stalePath);

  auto bus = MakeSimBus(dir.Path());
  EXPECT_TRUE(bus->Enumerate().empty());
  VirtualHidDevice replacement(Controller(), nullptr);
  EXPECT_TRUE(replacement.Plug(stalePath)) << "a stale node is taken over";
  VirtualHidDevice second(Controller(), nullptr);
  EXPECT_FALSE(second.Plug(stalePath)) << "a live one is not";
  EXPECT_EQ(bus->Enumerate().size(), 6u);
}

#ifdef _WIN32
// Another user may make a pipe of the name a simulator of this user's would
// take, and a node may name any pipe, another machine's too: only this user's
// own pipes, by its simulators' names, are opened.
TEST(SimTransport, OnlyPipesOfThisUsersOwnAreOpened) {
  testing::TempFolder dir;
  const std::wstring squatted = SimPipePrefix() + L"squatted";
  PSECURITY_DESCRIPTOR administrators = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"O:BAD:(A;;GA;;;WD)", SDDL_REVISION_1, &administrators, nullptr));
  SECURITY_ATTRIBUTES attributes{sizeof attributes, administrators, FALSE};
  const HANDLE pipe = ::CreateNamedPipeW(squatted.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE, 1,
                                         4096, 4096, 0, &attributes);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  const std::string local(squatted.begin(), squatted.end());
  for (const std::string& named : {local, "\\\\server" + local.substr(3)}) {
    const std::string node = SimNodePath(dir.Path(), "node");
    std::ofstream(node) << named;
    errno = 0;
    EXPECT_EQ(ConnectSimNode(node), nullptr) << named;
    EXPECT_EQ(errno, named == local ? EPERM : 0) << named;
  }
  ::CloseHandle(pipe);
  ::LocalFree(administrators);
}
#else
// A simulator folder is used only when it is this user's alone, by the
// programs and by the device, which says why it refuses; a missing one is
// made so.
TEST(SimTransport, OnlyAFolderOfTheUsersOwnIsTrusted) {
  for (const auto& [mode, collections] :
       {std::pair<mode_t, size_t>{0700, 6}, {0755, 6}, {0770, 0}, {0777, 0}}) {
    SCOPED_TRACE(mode);
    testing::TempFolder dir;
    VirtualHidDevice planted(Controller(), nullptr);
    ASSERT_TRUE(planted.Plug(dir.Path() + "/planted"));
    ASSERT_EQ(chmod(dir.Path().c_str(), mode), 0);
    EXPECT_EQ(MakeSimBus(dir.Path())->Enumerate().size(), collections);
    VirtualHidDevice device(Controller(), nullptr);
    EXPECT_EQ(device.Plug(dir.Path() + "/controller"), collections > 0);
    if (collections == 0) {
      EXPECT_NE(device.LastError().find(dir.Path()), std::string::npos);
    }
  }
  testing::TempFolder parent;
  const std::string made = parent.Path() + "/sim";
  EXPECT_TRUE(MakeSimBus(made)->Enumerate().empty());
  struct stat st;
  ASSERT_EQ(stat(made.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}
#endif

TEST(SimTransport, RequestAndAnswerThroughTheLinkAndEveryOpenGetsEveryReport) {
  testing::TempFolder dir;
  std::mutex receivedMutex;
  std::vector<uint8_t> received;
  VirtualHidDevice device(Controller(), [&](std::span<const uint8_t> report) {
    std::lock_guard lock(receivedMutex);
    received.assign(report.begin(), report.end());
    device.SendInputReport(Request(kCommandReportId, report[1], {1, 'S', 'I', 'M', 0, 0, 0, 0, 0}));
  });
  const std::string node = SimNodePath(dir.Path(), "controller");
  ASSERT_TRUE(device.Plug(node));

  testing::RecordingSink sink;
  CUSBTransfer link(Quick(LinkProfile::Factory()), MakeSimBus(dir.Path()));
  link.SetOwner(&sink);
  ASSERT_TRUE(link.Open());
  EXPECT_EQ(link.AcceptedCount(), 6);
  for (int i = 0; i < kChannelCount; ++i)  // each collection's lengths come from the descriptor
    EXPECT_EQ(link.DevicePath(i), node + "#col0" + std::to_string(i + 1));
  EXPECT_TRUE(link.Bus().Owns(link.DevicePath(0)));
  EXPECT_FALSE(link.Bus().Owns("/dev/hidraw0#col01"));
  const auto request = Request(kCommandReportId, 0xF2, {1});
  ASSERT_TRUE(link.SendAndWait(kCommandChannel, request));
  {
    std::lock_guard lock(receivedMutex);
    EXPECT_EQ(received, request);
  }
  ASSERT_EQ(sink.Last().size(), 64u) << "padded to the collection's input length";
  EXPECT_EQ(FrameText(sink.Last(), 4, 8), "SIM");

  testing::RecordingSink first, second;
  CUSBTransfer a(Quick(LinkProfile::Calibration()), MakeSimBus(dir.Path()));
  CUSBTransfer b(Quick(LinkProfile::Calibration()), MakeSimBus(dir.Path()));
  a.SetOwner(&first);
  b.SetOwner(&second);
  for (CUSBTransfer* link : {&a, &b})
    link->TakeUnasked([](std::span<const uint8_t>) { return true; });
  ASSERT_TRUE(a.Open());
  ASSERT_TRUE(b.Open());
  constexpr int kReports = 300;
  for (int i = 0; i < kReports; ++i)
    device.SendInputReport(Request(kCalibrationReportId, 0x08, {7, uint8_t(i), 0, 0, 0}));
  EXPECT_TRUE(first.WaitFor(kReports));
  EXPECT_TRUE(second.WaitFor(kReports));
  EXPECT_EQ(device.DroppedReports(), 0u);
}

// Every program takes the controller's lock for a group of exchanges: another
// waits, told who holds it; groups of one program nest. Every open receives
// every answer, and each link takes only its own.
TEST(SimTransport, TwoLinksOnOneControllerTakeTurnsAndTakeOnlyTheirAnswers) {
  testing::TempFolder dir;
  auto sim = testing::StartController(dir.Path());
  ASSERT_TRUE(sim);
  LinkProfile profile = Quick(LinkProfile::Console());
  profile.lockWait = std::chrono::milliseconds(50);
  testing::RecordingSink sinkA, sinkB;
  CUSBTransfer a(profile, testing::SimOnlyBus(dir.Path())),
      b(profile, testing::SimOnlyBus(dir.Path()));
  a.SetOwner(&sinkA);
  b.SetOwner(&sinkB);
  ASSERT_TRUE(a.Open() && b.Open());
  {
    const ExchangeGroup held = a.BeginGroup();
    ASSERT_TRUE(held);
    EXPECT_TRUE(a.BeginGroup()) << "groups of one link nest";
    const ExchangeGroup refused = b.BeginGroup();
    EXPECT_EQ(refused.GetStatus(), ExchangeGroup::Status::Busy);
#ifndef _WIN32  // a Windows mutex does not tell who holds it
    EXPECT_EQ(refused.Holder().pid, getpid());
    EXPECT_EQ(refused.Holder().program, "component_sim");
#endif

    // The lock is advisory: b's exchange still goes through, and a, which
    // receives its answer too, does not take it.
    for (CUSBTransfer* link : {&a, &b, &a}) {
      const uint8_t code = link == &a ? 0x15 : 0x14;
      ASSERT_TRUE(link->SendAndWait(kCommandChannel, Request(kCommandReportId, code, {1})));
    }
  }
  EXPECT_EQ(sinkA.Count(0x07, 0x15), 2u);
  EXPECT_EQ(sinkA.Count(), 2u) << "b's answer is dropped";
  EXPECT_EQ(sinkB.Count(), 1u);
  EXPECT_TRUE(b.BeginGroup()) << "a let go when its group ended";
}

TEST(SimTransport, OpensReceiveTheirCollectionsReportsOnlyAndWatchersHearEveryCollection) {
  testing::TempFolder dir;
  VirtualHidDevice device(Controller(), nullptr);
  const std::string node = SimNodePath(dir.Path(), "controller");
  ASSERT_TRUE(device.Plug(node));
  auto bus = MakeSimBus(dir.Path());
  auto reader = bus->Open(node + "#col05", Access::Read);
  auto writer = bus->Open(node + "#col05", Access::Write);
  ASSERT_TRUE(reader && writer);
  EXPECT_EQ(device.OpenCount(), 2u);
  EXPECT_EQ(device.SendInputReport(Request(kCalibrationReportId, 0x08, {7, 1, 0, 0, 0})), 1u)
      << "the write-only open takes none";
  EXPECT_EQ(device.SendInputReport(Request(kCommandReportId, 0xF2, {1})), 0u)
      << "nor does an open of another collection";

  Event stop;
  std::array<uint8_t, 1024> buffer{};
  const ReadResult r = reader->Read(buffer, stop);
  EXPECT_EQ(std::tuple(r.status, r.count, buffer[1]), std::tuple(ReadStatus::Data, 48u, 0x08));
  stop.Set();
  EXPECT_EQ(reader->Read(buffer, stop).status, ReadStatus::Stopped);

  // A watcher hears of each collection leaving and coming back.
  testing::NoticeLog log;
  auto watch = bus->WatchDevices(log.Callback());
  ASSERT_NE(watch, nullptr);
  const auto heard = [&](DeviceNotice::Kind kind) {
    std::string paths;
    for (const auto& n : log.Take(kChannelCount))
      paths += (n.kind == kind ? n.path.substr(node.size()) : "?") + " ";
    return paths;
  };
  const std::string all = "#col01 #col02 #col03 #col04 #col05 #col06 ";
  device.Unplug();
  EXPECT_EQ(heard(DeviceNotice::Kind::Removal), all);
  ASSERT_TRUE(device.Plug(node));
  EXPECT_EQ(heard(DeviceNotice::Kind::Arrival), all);
}

TEST(SimTransport, HeaderRoundTripAndTruncation) {
  const auto identity = Controller();
  const auto header = EncodeSimHeader(identity);
  VirtualDeviceIdentity decoded;
  ASSERT_TRUE(DecodeSimHeader(header, decoded));
  EXPECT_EQ(decoded.name, identity.name);
  EXPECT_EQ(decoded.reportDescriptor, identity.reportDescriptor);
  for (size_t cut = 0; cut < header.size(); ++cut)
    EXPECT_FALSE(DecodeSimHeader({header.data(), cut}, decoded)) << cut;
}

}  // namespace
}  // namespace orvelle
