#include "devlink/link_profile.h"

#include <algorithm>

namespace orvelle {
namespace {

using namespace std::chrono_literals;

// The identities of the controllers that the console and the calibration
// program accept, in this order.
const std::vector<uint16_t> kVendorIds = {0x3D17, 0x3D17, 0x2A5C, 0x2B84,
                                          0x1C6E, 0x1C6E, 0x2F09, 0x3A52};
const std::vector<uint16_t> kProductIds = {8, 10, 19, 16, 16, 64, 0x1106, 0x68};

}  // namespace

ChannelTable MakeChannelTable(uint16_t channel3OutputLength) {
  return {{{62, 0}, {9, 2}, {6, 0}, {64, channel3OutputLength}, {48, 48}, {64, 64}}};
}

int FindChannel(const ChannelTable& table, uint16_t inputLength, uint16_t outputLength) {
  for (int i = 0; i < kChannelCount; ++i) {
    if (table[i].inputLength == inputLength && table[i].outputLength == outputLength) return i;
  }
  return -1;
}

std::vector<std::pair<uint16_t, uint16_t>> LinkProfile::AcceptedPairs() const {
  std::vector<std::pair<uint16_t, uint16_t>> pairs;
  if (vendorIds.size() != productIds.size()) return pairs;
  for (size_t i = 0; i < vendorIds.size(); ++i)
    pairs.emplace_back(vendorIds[i], productIds[i]);
  return pairs;
}

bool LinkProfile::Accepts(uint16_t vendorId, uint16_t productId) const {
  const auto pairs = AcceptedPairs();
  return std::find(pairs.begin(), pairs.end(), std::pair(vendorId, productId)) != pairs.end();
}

LinkProfile LinkProfile::Console() {
  LinkProfile p;
  p.program = "OrvelleConsole";
  p.vendorIds = kVendorIds;
  p.productIds = kProductIds;
  p.channels = MakeChannelTable(8);
  p.threadChannels = {3, 4, 5};
  p.startPause = 300ms;
  p.answerTimeout = 2000ms;
  p.recogniser = Recogniser::Console;
  p.connectAfterThreads = false;
  p.deviceChanges = DeviceChangeHandling::React;
  return p;
}

LinkProfile LinkProfile::Calibration() {
  LinkProfile p;
  p.program = "Tessaly";
  p.vendorIds = kVendorIds;
  p.productIds = kProductIds;
  p.channels = MakeChannelTable(4);
  p.threadChannels = {0, 2, 4};
  p.startPause = 200ms;
  p.answerTimeout = 20000ms;
  p.recogniser = Recogniser::Calibration;
  p.connectAfterThreads = true;
  p.deviceChanges = DeviceChangeHandling::React;
  return p;
}

LinkProfile LinkProfile::Factory() {
  LinkProfile p;
  p.program = "OrvelleFactoryConfig2";
  p.vendorIds = {0x2A5C};
  p.productIds = {19};
  p.channels = MakeChannelTable(4);
  // Every row that is a (64, 64) command collection gets threads.
  for (int i = 0; i < kChannelCount; ++i) {
    if (p.channels[i] == ChannelSpec{64, 64}) p.threadChannels.push_back(i);
  }
  p.startPause = 200ms;
  p.answerTimeout = 20000ms;
  p.recogniser = Recogniser::Factory;
  p.connectAfterThreads = true;
  p.deviceChanges = DeviceChangeHandling::RegisterOnly;
  return p;
}

}  // namespace orvelle
