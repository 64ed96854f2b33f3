#pragma once
// How an operation of one or more requests to the controller ended. The pages
// and the command-line tool judge alike: a request without an answer or one
// the controller refused is a failure, never a success.

#include <cstdint>

namespace orvelle::console {

enum class ExchangeOutcome : uint8_t {
  Done,
  Refused,   // answered with a failure status
  NoAnswer,  // nothing came within the link's time-out
};

// Counts an operation's requests as they are sent; no answer outranks a
// refusal, since then it is not known what the controller holds.
class OutcomeTally {
 public:
  // Notes one request's send and passes its result on.
  bool Sent(bool answered) {
    if (!answered) ++unanswered_;
    return answered;
  }
  bool AllAnswered() const { return unanswered_ == 0; }
  ExchangeOutcome Outcome(bool anyRefused) const {
    if (unanswered_ != 0) return ExchangeOutcome::NoAnswer;
    return anyRefused ? ExchangeOutcome::Refused : ExchangeOutcome::Done;
  }

 private:
  int unanswered_ = 0;
};

}  // namespace orvelle::console
