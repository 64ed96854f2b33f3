#pragma once
// The configuration page's exchange with the controller: seven parameter
// groups read and written one request at a time, the controller's own
// defaults restored on request, and what the page's controls show of them.
// Free of Qt so that the command-line tool shares it.

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "devlink/catalogue.h"
#include "devlink/frame.h"

namespace orvelle {
class OsVersion;
}

namespace orvelle::console {

// The CFG_21 periods; a combo's index is the position in its table.
inline constexpr std::array<int, 10> kPeriodsA21 = {3, 5, 10, 20, 30, 45, 60, 90, 120, 180};
inline constexpr std::array<int, 8> kPeriodsB21 = {100, 200, 300, 500, 750, 1000, 1500, 2000};

// The position of `value` in such a table, or none when it is not one of its
// choices.
template <size_t N>
std::optional<int> IndexIn(const std::array<int, N>& table, int value) {
  const auto* found = std::find(table.begin(), table.end(), value);
  if (found == table.end()) return std::nullopt;
  return static_cast<int>(found - table.begin());
}

// The groups in the order they are read and written.
inline constexpr std::array<uint8_t, 7> kConfigGroups = {TOUCH_SETTINGS, CFG_12, CFG_16, CFG_17,
                                                         CFG_21,         CFG_15, CFG_14};

// The Windows version as the page counts it; only Windows 7 (class 6) has
// TOUCH_SETTINGS read, written and editable. Elsewhere than on Windows the
// class is 3.
inline constexpr int kTouchSettingsClass = 6;
int WindowsClass(const OsVersion& os);
// Whether a refresh or Apply of this class includes `code`.
bool GroupInClass(uint8_t code, int windowsClass);

enum ConfigControlId : int {
  IDC_TOUCH_SETTING = 1022,
  IDC_SWITCH_A12 = 1023,
  IDC_SWITCH_B12 = 1024,
  IDC_SWITCH_C12 = 1025,
  IDC_ON15 = 1026,
  IDC_VALUE15 = 1027,
  IDC_LEVEL15 = 1028,
  IDC_ON14 = 1029,
  IDC_LEVEL14 = 1030,
  IDC_VALUE14 = 1031,
  IDC_ON16 = 1032,
  IDC_RESTORE = 1036,
  IDC_APPLY = 1037,
  IDC_VALUE16_TEXT = 1043,
  IDC_VALUE16_SPIN = 1044,
  IDC_LEVEL_C17 = 1045,
  IDC_LEVEL_D17 = 1046,
  IDC_ON21 = 1047,
  IDC_PERIOD_A21 = 1048,
  IDC_PERIOD_B21 = 1049,
  IDC_LEVEL_A17 = 1059,
  IDC_LEVEL_B17 = 1060,
  IDC_LEVEL_C17_LABEL = 1061,
  IDC_LEVEL_D17_LABEL = 1062,
};

// The spin's positions, and the values its steps are clamped to: a step down
// from the lowest position gives 0.
inline constexpr int kSpinMin = 1, kSpinMax = 20;
inline constexpr int kValue16Min = 0, kValue16Max = 20;
inline constexpr int kSliderMin = 1, kSliderMax = 5;

// What the page holds: what the controller last reported, or what the
// user chose since. A value-initialised state holds the initial values.
struct ConfigPageState {
  bool touchSetting2 = true;
  bool switchA12 = false, switchB12 = false, switchC12 = false;
  bool on16 = true;
  int value16 = 0;
  int levelA17 = 5, levelB17 = 5, levelC17 = 4, levelD17 = 4;
  bool on21 = true;
  int periodA21 = 30, periodB21 = 500;
  bool on15 = true;
  int level15 = 5, value15 = 3000;
  bool on14 = true;
  int level14 = 5, value14 = 500;

  bool operator==(const ConfigPageState&) const = default;
};

// One control as the page sets it: a position (combo index, slider or spin
// position) and whether it is enabled, each only where given.
struct ControlSetting {
  int id = 0;
  std::optional<int> position;
  std::optional<bool> enabled;
  bool operator==(const ControlSetting&) const = default;
};
using ControlSettings = std::vector<ControlSetting>;

// The controls when the page is created: Apply and Restore stay disabled
// until the page holds a complete read of the controller.
ControlSettings InitialControls(int windowsClass);
// After a refresh whose reads completed: every control shows its value, and
// is enabled when it holds a valid one and its switch (if any) is on, so
// that a controller plugged in after a failed refresh makes the page usable.
ControlSettings FilledControls(const ConfigPageState& state, int windowsClass);
// After a refresh whose reads did not complete, or once the controller has
// gone: everything fixed and disabled, Apply and Restore too, so that values
// the page never read are never written.
ControlSettings DisabledControls(int windowsClass);
// The value controls that a switch combo enables and disables; none for
// other controls.
std::span<const int> GovernedBy(int switchId);

// What an answer asks of the page besides the state it changed.
enum class ConfigAnswer {
  None,          // not for this page, or a write accepted
  ReadTaken,     // a read answer, applied field by field
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

  // Reads of every group of `windowsClass` are about to be asked for.
  void BeginRefresh(int windowsClass);
  // Every group of the refresh answered its read: the page holds what the
  // controller holds.
  bool ReadComplete() const { return unreadGroups_ == 0; }
  void BeginApply() { applyOk_ = true; }
  // No write was refused since Apply began.
  bool ApplyOk() const { return applyOk_; }
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
  void TakeRead(uint8_t code, const FrameView& frame);

  ConfigPageState state_;
  // One bit per group of kConfigGroups whose read answer is still due; all
  // set while no refresh has begun.
  uint8_t unreadGroups_ = 0xFF;
  bool applyOk_ = true;
};

}  // namespace orvelle::console
