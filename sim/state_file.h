#pragma once
// The controller's non-volatile memory on disk: a readable "key=value" text
// file. Saving replaces the file atomically; loading a damaged file fails with
// a message and leaves the file as it is.

#include <string>

#include "sim/controller_state.h"

namespace orvelle {

std::string FormatState(const ControllerState& state);
// Keys that are missing keep their defaults; an unknown key, a malformed value
// or a value out of range fails with `error` naming the line.
bool ParseState(const std::string& text, ControllerState& state, std::string& error);

// False with `error` when the file exists but cannot be read or parsed; a
// missing file gives the defaults and `existed` false.
bool LoadStateFile(const std::string& path, ControllerState& state, bool& existed,
                   std::string& error);
bool SaveStateFile(const std::string& path, const ControllerState& state, std::string& error);

}  // namespace orvelle
