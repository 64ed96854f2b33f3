#pragma once
// Windows HID backend: SetupDi lists the HID device interfaces, one per
// top-level collection; HidD/HidP give each one's identity and report lengths.
// Reads and writes are overlapped so that the stop event ends them, and a
// message-only window of the bus's own receives arrival and removal, so the
// programs' windows need no Windows code.

#include <memory>

#include "devlink/hid/bus.h"

namespace orvelle {

std::unique_ptr<HidBus> MakeWinHidBus();

}  // namespace orvelle
