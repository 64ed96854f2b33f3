// Answers to command frames (report ID 7): identity, layout and the touch
// parameters. Two-byte values are high byte first. Encoded here and not with
// the programs' helpers (devlink/protocol.h), so that the simulator checks
// the programs instead of sharing their mistakes.
#include <algorithm>

#include "devlink/protocol.h"
#include "sim/controller_model.h"

namespace orvelle {
namespace {

using Bytes = std::vector<uint8_t>;

uint8_t High(uint16_t v) {
  return static_cast<uint8_t>(v >> 8);
}
uint8_t Low(uint16_t v) {
  return static_cast<uint8_t>(v & 0xFF);
}
int BigEndian(uint8_t high, uint8_t low) {
  return (high << 8) | low;
}

Bytes Answer(uint8_t code, std::initializer_list<uint8_t> payload) {
  return MakeAnswerFrame(kCommandReportId, code,
                         std::span<const uint8_t>(payload.begin(), payload.size()));
}

// {sub, status} padded with zeros to the command's write-answer length.
Bytes Status(uint8_t code, uint8_t sub, bool accepted) {
  Bytes payload(WriteAnswerLength(code), 0);
  payload[0] = sub;
  payload[1] = accepted ? 1 : 0;
  return MakeAnswerFrame(kCommandReportId, code, payload);
}

Bytes Text(uint8_t code, const std::string& text, size_t field) {
  Bytes payload(1 + field, 0);
  payload[0] = kSubRead;
  std::copy_n(text.begin(), std::min(text.size(), field), payload.begin() + 1);
  return MakeAnswerFrame(kCommandReportId, code, payload);
}

Bytes Layout(const ControllerState& s) {
  Bytes payload(1 + 1 + kLayoutListA + 1 + kLayoutListB, 0);
  payload[0] = kSubRead;
  payload[1] = static_cast<uint8_t>(s.layoutA.size());
  for (size_t i = 0; i < s.layoutA.size() && i < kLayoutListA; ++i) {
    payload[2 + i] = static_cast<uint8_t>(s.layoutA[i]);
  }
  payload[2 + kLayoutListA] = static_cast<uint8_t>(s.layoutB.size());
  for (size_t i = 0; i < s.layoutB.size() && i < kLayoutListB; ++i) {
    payload[3 + kLayoutListA + i] = static_cast<uint8_t>(s.layoutB[i]);
  }
  return MakeAnswerFrame(kCommandReportId, GET_LAYOUT, payload);
}

}  // namespace

std::optional<Bytes> ControllerModel::CommandAnswer(const Request& r, bool& changed) {
  const ControllerState& s = state_;
  const bool read = r.Sub() == kSubRead;
  switch (r.code) {
    case INFO_01:
      if (read) return Answer(r.code, {kSubRead, 0, static_cast<uint8_t>(s.infoValue)});
      break;
    case GET_LAYOUT:
      if (read) return Layout(s);
      break;
    case GET_MODEL:
      if (read) return Text(r.code, s.modelText, kModelTextLength);
      break;
    case GET_INFO_F3:
      if (read) return Text(r.code, s.infoF3Text, kModelTextLength);
      break;
    case GET_INFO_F4:
      if (read) return Text(r.code, s.infoF4Text, kModelTextLength);
      break;
    case GET_INFO_F5:
      if (read) return Text(r.code, s.infoF5Text, kInfoF5TextLength);
      break;
    case TOUCH_SETTINGS:
      if (read) return Answer(r.code, {kSubRead, s.touchSetting});
      if (r.Sub() == kSubReadTouchLimits) {
        return Answer(r.code, {kSubReadTouchLimits, s.touchMaximum, s.touchCount});
      }
      if (r.Sub() == kSubWriteTouchCount) {
        const bool ok = r.payload.size() == 2 && IsTouchCount(r.At(1), s.touchMaximum);
        if (ok) state_.touchCount = r.At(1);
        changed = ok;
        return Status(r.code, kSubWriteTouchCount, ok);
      }
      break;
    case CFG_12:
      if (read) return Answer(r.code, {kSubRead, s.cfg12[0], s.cfg12[1], s.cfg12[2]});
      break;
    case CAL_OPTION_13:
      if (read) return Answer(r.code, {kSubRead, s.calOption});
      break;
    case CFG_14:
      if (read)
        return Answer(r.code, {kSubRead, s.on14, s.level14, High(s.value14), Low(s.value14)});
      break;
    case CFG_15:
      if (read)
        return Answer(r.code, {kSubRead, s.on15, s.level15, High(s.value15), Low(s.value15)});
      break;
    case CFG_16:
      if (read) return Answer(r.code, {kSubRead, s.on16, s.value16});
      break;
    case CFG_17:
      if (read) return Answer(r.code, {kSubRead, s.cfg17[0], s.cfg17[1], s.cfg17[2], s.cfg17[3]});
      break;
    case CFG_21:
      if (read) {
        return Answer(r.code, {kSubRead, s.on21, High(s.periodA21), Low(s.periodA21),
                               High(s.periodB21), Low(s.periodB21)});
      }
      break;
    case CFG_RESET:
      if (r.Sub() == kSubWrite) {
        state_.RestoreConfigDefaults();
        changed = true;
        return Status(r.code, kSubWrite, true);
      }
      break;
    default:
      return std::nullopt;
  }
  if (r.Sub() == kSubWrite) {
    if (auto answer = ConfigWrite(r, changed)) return answer;
  }
  // A known command with a sub-function it does not offer.
  return Status(r.code, r.Sub(), false);
}

// Writes {2, data...}: refused with status 0, changing nothing, when the
// length or any value is outside what the controller accepts.
std::optional<Bytes> ControllerModel::ConfigWrite(const Request& r, bool& changed) {
  const size_t n = r.payload.size();
  ControllerState next = state_;
  bool ok = false;
  switch (r.code) {
    case TOUCH_SETTINGS:
      ok = n == 2 && IsTouchSetting(r.At(1));
      next.touchSetting = r.At(1);
      break;
    case CFG_12:
      ok = n == 4 && IsSwitch(r.At(1)) && IsSwitch(r.At(2)) && IsSwitch(r.At(3));
      next.cfg12 = {r.At(1), r.At(2), r.At(3)};
      break;
    case CAL_OPTION_13:
      ok = n == 2 && IsCalOption(r.At(1));
      next.calOption = r.At(1);
      break;
    case CFG_14:
      ok = n == 5 && IsSwitch(r.At(1)) && IsLevel14Or15(r.At(2)) &&
           IsValue14(BigEndian(r.At(3), r.At(4)));
      next.on14 = r.At(1);
      next.level14 = r.At(2);
      next.value14 = static_cast<uint16_t>(BigEndian(r.At(3), r.At(4)));
      break;
    case CFG_15:
      ok = n == 5 && IsSwitch(r.At(1)) && IsLevel14Or15(r.At(2)) &&
           IsValue15(BigEndian(r.At(3), r.At(4)));
      next.on15 = r.At(1);
      next.level15 = r.At(2);
      next.value15 = static_cast<uint16_t>(BigEndian(r.At(3), r.At(4)));
      break;
    case CFG_16:
      ok = n == 3 && IsSwitch(r.At(1)) && IsValue16(r.At(2));
      next.on16 = r.At(1);
      next.value16 = r.At(2);
      break;
    case CFG_17:
      ok = n == 5;
      for (size_t i = 0; i < 4; ++i) {
        ok = ok && IsLevel17(i, r.At(1 + i));
        next.cfg17[i] = r.At(1 + i);
      }
      break;
    case CFG_21:
      ok = n == 6 && IsSwitch(r.At(1)) && IsPeriodA21(BigEndian(r.At(2), r.At(3))) &&
           IsPeriodB21(BigEndian(r.At(4), r.At(5)));
      next.on21 = r.At(1);
      next.periodA21 = static_cast<uint16_t>(BigEndian(r.At(2), r.At(3)));
      next.periodB21 = static_cast<uint16_t>(BigEndian(r.At(4), r.At(5)));
      break;
    default:
      return std::nullopt;
  }
  if (ok) {
    state_ = next;
    changed = true;
  }
  return Status(r.code, kSubWrite, ok);
}

}  // namespace orvelle
