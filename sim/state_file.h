#pragma once
// The controller's non-volatile memory on disk: a readable "key=value" text
// file. Saving replaces the file atomically; loading a damaged file fails with
// a message and leaves the file as it is.

#include <string>

#include "sim/controller_state.h"

namespace orvelle {

// A state file is a few hundred bytes; anything far larger is something else.
inline constexpr size_t kMaxStateBytes = 64 * 1024;

std::string FormatState(const ControllerState& state);
// An unknown key, a malformed value or a value out of range fails with
// `error` naming the line; so does a missing key, since a file cut at a line
// boundary would otherwise load as defaults that the next save writes back.
bool ParseState(const std::string& text, ControllerState& state, std::string& error);

// False with `error` naming the file when it exists but is no regular file,
// is too large, or cannot be read or parsed; a missing file gives the defaults
// and `existed` false.
bool LoadStateFile(const std::string& path, ControllerState& state, bool& existed,
                   std::string& error);
bool SaveStateFile(const std::string& path, const ControllerState& state, std::string& error);

}  // namespace orvelle
