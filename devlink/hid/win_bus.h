#pragma once
// Windows HID backend: SetupDi lists the HID device interfaces, one per
// top-level collection; HidD/HidP give each one's identity and report lengths.
// Reads and writes are overlapped so that the stop event ends them, and a
// message-only window of the bus's own receives arrival and removal, so the
// programs' windows need no Windows code.

#include <cstdint>
#include <memory>

#include "devlink/hid/bus.h"

namespace orvelle {

std::unique_ptr<HidBus> MakeWinHidBus();

// A channel over any handle opened for overlapped I/O (a HID collection, or a
// pipe in tests), which it closes. Reads use `inputLength` bytes, as a HID
// collection requires; writes are padded to `outputLength` when that is longer.
std::unique_ptr<HidChannel> MakeOverlappedChannel(void* handle, uint16_t inputLength,
                                                  uint16_t outputLength);

}  // namespace orvelle
