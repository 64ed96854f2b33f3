#include "devlink/link_profile.h"

#include <algorithm>

namespace orvelle {
namespace {

using namespace std::chrono_literals;

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

bool LinkProfile::Accepts(uint16_t vendorId, uint16_t productId) const {
  return std::find(identities.begin(), identities.end(), HidIdentity{vendorId, productId}) !=
         identities.end();
}

LinkProfile LinkProfile::Console() {
  LinkProfile p;
  p.program = "OrvelleConsole";
  p.identities.assign(kAcceptedControllers.begin(), kAcceptedControllers.end());
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
  p.identities.assign(kAcceptedControllers.begin(), kAcceptedControllers.end());
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
  p.identities = {kFactoryController};
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
