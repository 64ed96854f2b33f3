// The controller's answers to the configuration page: which are the page's,
// and what a read answer changes of what the page holds.
#include "console/core/config_page.h"

namespace orvelle::console {
namespace {

// A refusal is a status answer: the request's sub-function, status 0 and
// zeros to the acknowledgement's length. Where that length is the read
// answer's, no read answer looks so, since its levels, values and periods are
// never 0.
bool IsRefusal(uint8_t code, const FrameView& f) {
  const int length = f.PayloadLength();
  if (length != AcknowledgementLength(code)) return false;
  for (int k = 1; k < length; ++k) {
    if (f.Payload(static_cast<size_t>(k)) != 0) return false;
  }
  return true;
}

// The high byte is signed, so 0x80 and above give values no range admits.
int BigEndianValue(uint8_t high, uint8_t low) {
  return static_cast<int16_t>(ReadBigEndian16(high, low));
}

}  // namespace

ConfigAnswer ConfigExchange::HandleFrame(std::span<const uint8_t> bytes) {
  const FrameView frame(bytes.first(std::min(bytes.size(), kCommandFrameLength)));
  if (frame.ReportId() != kCommandReportId) return ConfigAnswer::None;
  const uint8_t code = frame.Code();
  const int length = frame.PayloadLength();
  const uint8_t sub = frame.Payload(0);
  if (code == CFG_RESET) {
    if (length != AcknowledgementLength(code) || sub != kSubWrite) return ConfigAnswer::None;
    return frame.Payload(1) == 0 ? ConfigAnswer::ResetRefused : ConfigAnswer::ResetDone;
  }
  if (GroupBit(code) == 0) return ConfigAnswer::None;
  if (IsRefusal(code, frame)) {
    if (sub == kSubRead) return ConfigAnswer::ReadRefused;
    if (sub != kSubWrite) return ConfigAnswer::None;
    applyOk_ = false;
    return ConfigAnswer::WriteRefused;
  }
  if (sub == kSubRead && length == ReadAnswerLength(code)) {
    CheckKept(code, frame);
    TakeRead(code, frame);
    unreadGroups_ &= static_cast<uint8_t>(~GroupBit(code));
    return ConfigAnswer::ReadTaken;
  }
  return ConfigAnswer::None;
}

void ConfigExchange::BeginApply() {
  applyOk_ = true;
  unverified_.clear();
  unkept_.clear();
}

FrameBuffer ConfigExchange::ApplyRequest(uint8_t code) {
  const FrameBuffer request = WriteRequest(code);
  const FrameView written(request);
  std::vector<uint8_t>& data = unverified_[code];
  data.clear();
  for (size_t k = 1; k < written.PayloadLength(); ++k)
    data.push_back(written.Payload(k));
  return request;
}

void ConfigExchange::CheckKept(uint8_t code, const FrameView& read) {
  const auto it = unverified_.find(code);
  if (it == unverified_.end()) return;
  bool same = it->second.size() + 1 == read.PayloadLength();
  for (size_t k = 0; same && k < it->second.size(); ++k)
    same = read.Payload(k + 1) == it->second[k];
  if (!same) unkept_.push_back(code);
  unverified_.erase(it);
}

std::vector<uint8_t> ConfigExchange::UnkeptGroups() const {
  std::vector<uint8_t> groups = unkept_;
  for (const auto& [code, data] : unverified_)
    groups.push_back(code);
  return groups;
}

// Each field out of its range keeps the value held before.
void ConfigExchange::TakeRead(uint8_t code, const FrameView& f) {
  ConfigPageState& s = state_;
  const auto keepIf = [](int& field, int value, bool valid) {
    if (valid) field = value;
  };
  const auto keepEntry = [&s](int control, int value) {
    const StepCombo& combo = *FindStepCombo(control);
    if (StepEntry(combo, value)) s.*combo.field = value;
  };
  switch (code) {
    case TOUCH_SETTINGS:
      s.touchSetting2 = f.Payload(1) == 2;
      break;
    case CFG_12:
      s.switchA12 = f.Payload(1) == 1;
      s.switchB12 = f.Payload(2) == 1;
      s.switchC12 = f.Payload(3) == 1;
      break;
    case CFG_16:
      s.on16 = f.Payload(1) == 1;
      s.value16 = static_cast<int8_t>(f.Payload(2));
      break;
    case CFG_17:
      keepIf(s.levelA17, f.Payload(1), InRange(f.Payload(1), kSliderMin, kSliderMax));
      keepIf(s.levelB17, f.Payload(2), InRange(f.Payload(2), kSliderMin, kSliderMax));
      keepEntry(IDC_LEVEL_C17, f.Payload(3));
      keepEntry(IDC_LEVEL_D17, f.Payload(4));
      break;
    case CFG_21: {
      s.on21 = f.Payload(1) == 1;
      const int a = BigEndianValue(f.Payload(2), f.Payload(3));
      const int b = BigEndianValue(f.Payload(4), f.Payload(5));
      keepIf(s.periodA21, a, IndexIn(kPeriodsA21, a).has_value());
      keepIf(s.periodB21, b, IndexIn(kPeriodsB21, b).has_value());
      break;
    }
    case CFG_15:
    case CFG_14: {
      const bool is15 = code == CFG_15;
      bool& on = is15 ? s.on15 : s.on14;
      on = f.Payload(1) == 1;
      keepEntry(is15 ? IDC_LEVEL15 : IDC_LEVEL14, f.Payload(2));
      keepEntry(is15 ? IDC_VALUE15 : IDC_VALUE14, BigEndianValue(f.Payload(3), f.Payload(4)));
      break;
    }
    default:
      break;
  }
}

}  // namespace orvelle::console
