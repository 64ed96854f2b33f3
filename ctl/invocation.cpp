#include "ctl/invocation.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ctl/text.h"

namespace orvelle::ctl {
namespace {

std::string HolderText(const LockHolder& holder) {
  if (holder.pid == 0) return "another program";
  return (holder.program.empty() ? "a program" : holder.program) + " (process " +
         std::to_string(holder.pid) + ")";
}

}  // namespace

Invocation::Invocation(const CtlContext& context, Options options)
    : context_(context), options_(std::move(options)), out_(*context.out), err_(*context.err) {}

int Invocation::Error(int status, const std::string& text) {
  err_ << "orvellectl: " << text << "\n";
  return status;
}

int Invocation::Usage(const std::string& text) {
  return Error(kExitUsage, text + " (orvellectl --help shows the commands)");
}

bool Invocation::Arguments(size_t count) {
  if (options_.words.size() == count) return true;
  Usage(options_.words.size() < count ? "a file name is missing" : "too many arguments");
  return false;
}

void Invocation::PrintJson(const Json& document) {
  out_ << document.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
}

int Invocation::WriteError(int error) {
  if (!writeErrorSaid_) {
    writeErrorSaid_ = true;
    Error(kExitWriteError,
          error == 0 ? "write error" : "write error: " + std::string(std::strerror(error)));
  }
  return kExitWriteError;
}

int Invocation::Finish(int status) {
  if (writeErrorSaid_) return status;
  // Straight to the buffer, which a stream that failed before no longer
  // flushes: its failure says why.
  errno = 0;
  std::streambuf* buffer = out_.rdbuf();
  const bool flushed = buffer != nullptr && buffer->pubsync() == 0;
  if (flushed && out_.good()) return status;
  const int failed = WriteError(errno);
  return status == kExitDone ? failed : status;
}

int Invocation::ChooseController(std::string& chosen) {
  const std::vector<FoundController> found = FindControllers(*context_.makeBus(), context_.profile);
  if (options_.device.empty()) {
    if (found.empty()) return Error(kExitNoController, "no controller found");
    if (found.size() > 1) {
      std::string paths;
      for (const FoundController& f : found)
        paths += (paths.empty() ? "" : ", ") + f.path;
      return Error(kExitUsage, std::to_string(found.size()) +
                                   " controllers found; name one with --device: " + paths);
    }
    chosen = found.front().path;
  } else {
    for (const FoundController& f : found) {
      const bool named = f.path == options_.device ||
                         std::find(f.collections.begin(), f.collections.end(), options_.device) !=
                             f.collections.end();
      if (named) chosen = f.path;
    }
    if (chosen.empty()) {
      return Error(kExitNoController, "no controller at " + QuoteGiven(options_.device) +
                                          "; orvellectl list shows those found");
    }
  }
  return kExitDone;
}

int Invocation::Connect() {
  std::string chosen;
  if (const int status = ChooseController(chosen)) return status;
  session_ = std::make_unique<Session>(context_.profile, context_.makeBus(), chosen);
  std::string error;
  if (!session_->Open(error)) return Error(kExitNoController, error + " (" + chosen + ")");
  group_ = session_->Link().BeginGroup();
  if (group_.Busy()) {
    return Error(kExitBusy, "the controller is in use by " + HolderText(group_.Holder()) +
                                "; try again when it has finished");
  }
  // From here on: the threads' start-up pauses are the link's own.
  if (context_.recordPauses) session_->Link().RecordPauses(context_.recordPauses);
  return kExitDone;
}

int Invocation::Stopped() const {
  const int signal = context_.stopSignal ? context_.stopSignal() : 0;
  return signal == 0 ? kExitDone : 128 + signal;
}

int Invocation::Ask(int channel, const FrameBuffer& frame, std::chrono::milliseconds pauseAfter) {
  if (const int status = Stopped()) return status;
  const SendOutcome outcome = session_->Send(channel, frame);
  if (const int status = Stopped()) return status;
  const std::string request = CommandText(frame[0], frame[1]);
  switch (outcome) {
    case SendOutcome::Answered:
      break;
    case SendOutcome::Failed:
      return Error(kExitFailed, "could not send " + request + ": the controller went away or " +
                                    "did not take the report");
    case SendOutcome::TimedOut:
      return Error(kExitNoAnswer, "the controller did not answer " + request + " within " +
                                      std::to_string(session_->AnswerTimeout().count()) + " ms");
  }
  session_->Link().Pause(pauseAfter);
  return Stopped();
}

}  // namespace orvelle::ctl
