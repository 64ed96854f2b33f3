// The configuration page's requests: each group's values in the order and
// byte layout the controller reads them.
#include "console/core/config_page.h"

namespace orvelle::console {
namespace {

uint8_t Bit(bool on) {
  return on ? 1 : 0;
}

// CFG_15 and CFG_14 share one layout: the switch, the level, the value high byte first.
void BuildSwitchLevelValue(FrameBuffer& frame, uint8_t code, bool on, int level, int value) {
  BuildFrame(frame, kCommandReportId, code,
             {kSubWrite, Bit(on), LowByte(level), HighByte(value), LowByte(value)});
}

}  // namespace

FrameBuffer ConfigExchange::ReadRequest(uint8_t code) {
  FrameBuffer frame;
  BuildFrame(frame, kCommandReportId, code, {kSubRead});
  return frame;
}

FrameBuffer ConfigExchange::ResetRequest() {
  FrameBuffer frame;
  BuildFrame(frame, kCommandReportId, CFG_RESET, {kSubWrite});
  return frame;
}

FrameBuffer ConfigExchange::WriteRequest(uint8_t code) const {
  const ConfigPageState& s = state_;
  FrameBuffer frame;
  switch (code) {
    case TOUCH_SETTINGS:
      BuildFrame(frame, kCommandReportId, code, {kSubWrite, LowByte(s.touchSetting2 ? 2 : 1)});
      break;
    case CFG_12:
      BuildFrame(frame, kCommandReportId, code,
                 {kSubWrite, Bit(s.switchA12), Bit(s.switchB12), Bit(s.switchC12)});
      break;
    case CFG_16:
      BuildFrame(frame, kCommandReportId, code, {kSubWrite, Bit(s.on16), LowByte(s.value16)});
      break;
    case CFG_17:
      BuildFrame(frame, kCommandReportId, code,
                 {kSubWrite, LowByte(s.levelA17), LowByte(s.levelB17), LowByte(s.levelC17),
                  LowByte(s.levelD17)});
      break;
    case CFG_21:
      BuildFrame(frame, kCommandReportId, code,
                 {kSubWrite, Bit(s.on21), HighByte(s.periodA21), LowByte(s.periodA21),
                  HighByte(s.periodB21), LowByte(s.periodB21)});
      break;
    case CFG_15:
      BuildSwitchLevelValue(frame, code, s.on15, s.level15, s.value15);
      break;
    case CFG_14:
      BuildSwitchLevelValue(frame, code, s.on14, s.level14, s.value14);
      break;
    default:
      frame.fill(0);
      break;
  }
  return frame;
}

}  // namespace orvelle::console
