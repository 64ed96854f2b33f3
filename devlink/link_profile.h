#pragma once
// The per-program settings of the device link. Everything that differs
// between the console, the calibration program and the factory tool on the
// link is here; the link itself is one class for all three.

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "devlink/protocol.h"
#include "devlink/recognise.h"

namespace orvelle {

inline constexpr int kChannelCount = 6;

// One row of the channel table: the collection's report byte lengths as the
// HID capabilities report them (report ID byte included). The row index is the
// channel number.
struct ChannelSpec {
  uint16_t inputLength = 0;
  uint16_t outputLength = 0;
  bool operator==(const ChannelSpec&) const = default;
};
using ChannelTable = std::array<ChannelSpec, kChannelCount>;

// Rows 0..5: (62, 0) digitizer, (9, 2), (6, 0), (64, ch3Output) vendor input,
// (48, 48) calibration frames, (64, 64) command frames.
ChannelTable MakeChannelTable(uint16_t channel3OutputLength);
// First matching row, or -1.
int FindChannel(const ChannelTable& table, uint16_t inputLength, uint16_t outputLength);

enum class DeviceChangeHandling : uint8_t {
  React,         // re-open on arrival, mark disconnected on removal
  RegisterOnly,  // listens, does nothing
};

struct LinkProfile {
  std::string program;
  std::vector<HidIdentity> identities;  // the controllers accepted
  ChannelTable channels{};
  // Channels that get a reader and a write-drain thread, ascending.
  std::vector<int> threadChannels;
  std::chrono::milliseconds startPause{0};     // after each channel's threads
  std::chrono::milliseconds answerTimeout{0};  // SendAndWait
  // How long an exchange group waits for another program to let the
  // controller go: a few groups of an answering controller, so that a page's
  // read or a command of orvellectl beside it passes unnoticed.
  std::chrono::milliseconds lockWait{3000};
  Recogniser recogniser = Recogniser::Console;
  // The console's discovery already set the flag; the others set it once
  // their threads run.
  bool connectAfterThreads = false;
  DeviceChangeHandling deviceChanges = DeviceChangeHandling::React;

  bool Accepts(uint16_t vendorId, uint16_t productId) const;

  static LinkProfile Console();
  static LinkProfile Calibration();
  static LinkProfile Factory();
};

}  // namespace orvelle
