// monitor: every frame the controller sends, as the simulator's log shows it.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <ostream>

#include "ctl/command_groups.h"
#include "ctl/text.h"
#include "devlink/protocol.h"

namespace orvelle::ctl {
namespace {

constexpr std::chrono::milliseconds kMonitorWait{50};

// Direction, the bytes up to the terminator, the command's name; a raw
// touch position decoded.
std::string FrameLine(std::span<const uint8_t> bytes) {
  const FrameView frame(bytes);
  const size_t shown = std::min(bytes.size(), size_t{4} + frame.PayloadLength());
  std::string line = "out";
  char hex[4];
  for (size_t i = 0; i < shown; ++i) {
    std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
    line += hex;
  }
  line += "  " + CommandText(frame.ReportId(), frame.Code());
  if (frame.ReportId() == kCalibrationReportId && frame.Code() == CAL_RAW_POINT &&
      frame.PayloadLength() >= 5) {
    line += " x=" + std::to_string(ReadLittleEndian16(frame.Payload(1), frame.Payload(2))) +
            " y=" + std::to_string(ReadLittleEndian16(frame.Payload(3), frame.Payload(4))) +
            (frame.Payload(0) == kTouchStateTouching ? " touching" : " lifted");
  }
  return line;
}

}  // namespace

int RunMonitor(Invocation& run) {
  if (const int status = run.Connect()) return status;
  // Listening holds nothing: every other program goes on meanwhile, and
  // every frame the controller sends is shown, whoever asked for it.
  run.LetGo();
  run.Controller().Link().TakeUnasked([](std::span<const uint8_t>) { return true; });
  std::ostream& out = run.Out();
  // Each collection has its reader thread: one line at a time. The readers
  // may outlive this function, the lock and the first failed write's errno
  // (-1 for none) outlive them.
  static std::mutex printing;
  static std::atomic<int> writeError;
  writeError = -1;
  run.Controller().OnAnswers([&out](std::span<const uint8_t> frame) {
    const std::string line = FrameLine(frame);
    std::lock_guard lock(printing);
    if (writeError >= 0) return;
    errno = 0;
    if (!(out << line << std::endl)) writeError = errno;
  });
  CUSBTransfer& link = run.Controller().Link();
  while (!link.DeviceLeft()) {
    // A line that cannot be written ends it: nobody sees the others.
    if (const int error = writeError; error >= 0) return run.WriteError(error);
    if (const int status = run.Stopped()) return status;
    link.Pause(kMonitorWait);
  }
  return run.Error(kExitFailed, "the controller went away");
}

}  // namespace orvelle::ctl
