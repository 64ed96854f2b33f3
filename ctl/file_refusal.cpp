#include "ctl/file_refusal.h"

#include "ctl/commands.h"
#include "ctl/invocation.h"
#include "ctl/text.h"

namespace orvelle::ctl {

int RefuseInputFile(Invocation& run, const std::string& file, const InputFileError& error) {
  if (error.fault == InputFileFault::NotAFile)
    return run.Error(kExitUsage, QuoteGiven(file) + " is not a regular file; nothing was sent");
  return run.Error(kExitFailed,
                   "cannot read " + QuoteGiven(file) + ": " + error.reason + "; nothing was sent");
}

}  // namespace orvelle::ctl
