#pragma once
// A simulated controller in a folder of its own, and the links of the three
// programs on the default bus pointed at that folder. Header-only: users link
// orvelle-simulator themselves.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "devlink/frame.h"
#include "devlink/hid/default_bus.h"
#include "devlink/usb_transfer.h"
#include "sim/simulated_controller.h"
#include "tests/support/temp_folder.h"

namespace orvelle::testing {

using namespace std::chrono_literals;

// The program's profile with no start pause; the time-out only limits a test
// that fails.
inline LinkProfile Quick(LinkProfile p, std::chrono::milliseconds timeout = 5s) {
  p.startPause = 0ms;
  p.answerTimeout = timeout;
  return p;
}

inline std::shared_ptr<HidBus> SimOnlyBus(const std::string& folder) {
  DefaultBusOptions options;
  options.simDir = folder;
  options.withHidraw = false;
  return MakeDefaultBus(options);
}

class RecordingSink : public AnswerSink {
 public:
  void OnAnswer(std::span<const uint8_t> frame) override {
    std::lock_guard lock(mutex_);
    frames_.emplace_back(frame.begin(), frame.end());
    changed_.notify_all();
  }
  std::vector<std::vector<uint8_t>> Frames() {
    std::lock_guard lock(mutex_);
    return frames_;
  }
  std::vector<uint8_t> Last() {
    std::lock_guard lock(mutex_);
    return frames_.empty() ? std::vector<uint8_t>{} : frames_.back();
  }
  size_t Count(uint8_t reportId, uint8_t code) {
    std::lock_guard lock(mutex_);
    return CountLocked(reportId, code);
  }
  bool WaitForCount(uint8_t reportId, uint8_t code, size_t n,
                    std::chrono::milliseconds limit = 20s) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return CountLocked(reportId, code) >= n; });
  }

 private:
  size_t CountLocked(uint8_t reportId, uint8_t code) const {
    size_t n = 0;
    for (const auto& f : frames_)
      n += f.size() > 1 && f[0] == reportId && f[1] == code;
    return n;
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::vector<uint8_t>> frames_;
};

inline std::vector<uint8_t> Request(uint8_t reportId, uint8_t code, std::vector<uint8_t> payload) {
  FrameBuffer frame;
  BuildFrame(frame, reportId, code, payload);
  const size_t length = reportId == kCalibrationReportId ? 48 : 64;
  return std::vector<uint8_t>(frame.begin(), frame.begin() + static_cast<long>(length));
}

inline SimControllerOptions ControllerIn(const TempFolder& folder, uint8_t vendorOutput = 4) {
  SimControllerOptions options;
  options.socketPath = DefaultSocketPath(folder.Path(), 0x2A5C, 19);
  options.vendorOutputLength = vendorOutput;
  return options;
}

}  // namespace orvelle::testing
