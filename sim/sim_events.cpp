#include "sim/sim_events.h"

#include <cstdio>

#include "devlink/frame.h"

namespace orvelle {

bool SimEvent::IsFrame(Kind direction, uint8_t reportId, uint8_t code) const {
  return kind == direction && bytes.size() >= 3 && bytes[0] == reportId && bytes[1] == code;
}

std::string FormatEvent(const SimEvent& event) {
  if (event.kind == SimEvent::Kind::Note) return "note " + event.text;
  size_t shown = event.bytes.size();
  const bool frame =
      (event.bytes.size() >= 4 &&
       (event.bytes[0] == kCalibrationReportId || event.bytes[0] == kCommandReportId) &&
       3 + size_t{event.bytes[2]} < event.bytes.size());
  if (frame) {
    shown = 4 + size_t{event.bytes[2]};
  } else {
    while (shown > 1 && event.bytes[shown - 1] == 0)
      --shown;
  }
  // Touch reports are long and mostly empty; their first bytes say enough.
  constexpr size_t kShownOfOtherReports = 16;
  const bool cut = !frame && shown > kShownOfOtherReports;
  if (cut) shown = kShownOfOtherReports;
  std::string line = event.kind == SimEvent::Kind::In ? "in  " : "out ";
  char hex[4];
  for (size_t i = 0; i < shown; ++i) {
    std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", event.bytes[i]);
    line += hex;
  }
  if (cut) line += " ...";
  if (!event.text.empty()) line += "  " + event.text;
  return line;
}

void SimEventLog::Record(SimEvent::Kind kind, std::span<const uint8_t> bytes, std::string text) {
  std::lock_guard lock(mutex_);
  SimEvent& e = events_.emplace_back();
  e.seq = ++lastSeq_;
  e.kind = kind;
  e.bytes.assign(bytes.begin(), bytes.end());
  e.text = std::move(text);
  if (observer_) observer_(e);
  if (events_.size() > capacity_) events_.pop_front();
  changed_.notify_all();
}

void SimEventLog::SetObserver(Observer observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

uint64_t SimEventLog::LastSeq() const {
  std::lock_guard lock(mutex_);
  return lastSeq_;
}

std::optional<SimEvent> SimEventLog::WaitFor(const Predicate& match, uint64_t afterSeq,
                                             std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::unique_lock lock(mutex_);
  uint64_t checked = afterSeq;
  for (;;) {
    // Sequence numbers are contiguous, so the unchecked events start at a
    // known index.
    const uint64_t first = events_.empty() ? lastSeq_ + 1 : events_.front().seq;
    for (size_t i = checked + 1 > first ? checked + 1 - first : 0; i < events_.size(); ++i) {
      if (match(events_[i])) return events_[i];
    }
    checked = lastSeq_;
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && lastSeq_ == checked) {
      return std::nullopt;
    }
  }
}

std::vector<SimEvent> SimEventLog::After(uint64_t afterSeq) const {
  std::lock_guard lock(mutex_);
  std::vector<SimEvent> out;
  for (const SimEvent& e : events_) {
    if (e.seq > afterSeq) out.push_back(e);
  }
  return out;
}

size_t SimEventLog::Count(const Predicate& match, uint64_t afterSeq) const {
  std::lock_guard lock(mutex_);
  size_t n = 0;
  for (const SimEvent& e : events_) {
    if (e.seq > afterSeq && match(e)) ++n;
  }
  return n;
}

}  // namespace orvelle
