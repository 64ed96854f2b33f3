#pragma once
// The configuration page's exchange with the controller: seven parameter
// groups read and written one request at a time, and the controller's own
// defaults restored on request. Free of Qt so that the command-line tool
// shares it.

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "console/core/config_controls.h"
#include "console/core/version_class.h"
#include "devlink/frame.h"
#include "devlink/protocol.h"

namespace orvelle::console {

// The groups in the order they are read and written.
inline constexpr std::array<uint8_t, 7> kConfigGroups = {TOUCH_SETTINGS, CFG_12, CFG_16, CFG_17,
                                                         CFG_21,         CFG_15, CFG_14};

// What an answer asks of the page besides the state it changed.
enum class ConfigAnswer {
  None,          // not for this page, or a write accepted
  ReadTaken,     // a read answer, applied field by field
  ReadRefused,   // the controller would not report the group
  WriteRefused,  // a failure acknowledgement of a write
  ResetRefused,
  ResetDone,
};

class ConfigExchange {
 public:
  static FrameBuffer ReadRequest(uint8_t code);
  static FrameBuffer ResetRequest();
  // The write request of `code` with the values the page holds.
  FrameBuffer WriteRequest(uint8_t code) const;
  // The same, as a write of Apply: what it carries is what the group's next
  // read must report.
  FrameBuffer ApplyRequest(uint8_t code);

  // Reads of every group of `windowsClass` are about to be asked for.
  void BeginRefresh(int windowsClass);
  // Every group of the refresh answered its read: the page holds what the
  // controller holds.
  bool ReadComplete() const { return unreadGroups_ == 0; }
  void BeginApply();
  // No write was refused since Apply began.
  bool ApplyOk() const { return applyOk_; }
  // The groups Apply wrote whose read since did not report what was written,
  // or has not come; none when the controller kept every write.
  std::vector<uint8_t> UnkeptGroups() const;
  // The controller went: what was read of it is no longer the page's.
  void Forget();

  // Takes one command frame (at most 64 bytes are looked at).
  ConfigAnswer HandleFrame(std::span<const uint8_t> frame);

  // The user's choices. A combo's selection; a spin step from `position` by
  // `delta`, which returns the new value; a slider's position.
  void Select(int controlId, int index);
  int Step(int position, int delta);
  void Slide(int controlId, int position);

  const ConfigPageState& State() const { return state_; }
  ConfigPageState& State() { return state_; }

 private:
  // The bit of `code` in unreadGroups_; 0 for codes that are no group.
  static uint8_t GroupBit(uint8_t code);
  void TakeRead(uint8_t code, const FrameView& frame);
  void CheckKept(uint8_t code, const FrameView& frame);

  ConfigPageState state_;
  // One bit per group of kConfigGroups whose read answer is still due; all
  // set while no refresh has begun.
  uint8_t unreadGroups_ = 0xFF;
  bool applyOk_ = true;
  // Apply's writes not yet read back (their data after the sub-function),
  // and those read back different.
  std::map<uint8_t, std::vector<uint8_t>> unverified_;
  std::vector<uint8_t> unkept_;
};

}  // namespace orvelle::console
