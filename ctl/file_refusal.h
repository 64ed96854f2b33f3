#pragma once
// What the tool says, and with which exit status, of a file the user named
// that it could not read (platform/input_file.h reads it).

#include <string>

#include "platform/input_file.h"

namespace orvelle::ctl {

class Invocation;

// Ends the command: 1 when the file cannot be read, 2 when it is no file to
// read; nothing was sent to the controller.
int RefuseInputFile(Invocation& run, const std::string& file, const InputFileError& error);

}  // namespace orvelle::ctl
