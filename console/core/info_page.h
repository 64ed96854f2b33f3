#pragma once
// The information page's exchange with the controller: six read requests, one
// at a time, and the answers they are accepted from. Free of Qt so that the
// command-line tool shares it.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "devlink/frame.h"
#include "devlink/protocol.h"

namespace orvelle::console {

// The requests of one refresh, in the order they are sent.
inline constexpr std::array<uint8_t, 6> kInfoRequests = {GET_MODEL,   GET_INFO_F3, GET_INFO_F4,
                                                         GET_INFO_F5, INFO_01,     GET_LAYOUT};

// What the page shows. A value-initialised state holds the defaults.
struct InfoPageState {
  static constexpr const char* kNoText = "N/A";

  int infoValue = 0;
  int countA = 0;
  int countB = 0;
  std::string listA = "0";
  std::string listB = "0";
  std::string modelText = kNoText;
  std::string identity2 = kNoText;
  std::string identity3 = kNoText;
  std::string identity4 = kNoText;

  bool operator==(const InfoPageState&) const = default;
};

// One refresh: the state the page keeps, and whether an answer that counts
// (GET_LAYOUT, or an identity text that begins with "UartTrans") came.
class InfoExchange {
 public:
  // Read request for `code`: sub-function 1, nothing else.
  static FrameBuffer Request(uint8_t code);

  // Starts a refresh over the values shown so far.
  void Begin() { answersValid_ = false; }
  // Takes one command frame; false when it is not an accepted answer.
  bool HandleFrame(std::span<const uint8_t> frame);
  // Ends a refresh: without an answer that counts, every value is the default.
  void End() {
    if (!answersValid_) ResetToDefaults();
  }
  void ResetToDefaults() { state_ = InfoPageState{}; }

  const InfoPageState& State() const { return state_; }
  bool AnswersValid() const { return answersValid_; }

 private:
  void TakeLayout(std::span<const uint8_t> frame);

  InfoPageState state_;
  bool answersValid_ = false;
};

}  // namespace orvelle::console
