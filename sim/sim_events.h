#pragma once
// What the simulated controller did, in order: reports in and out and notes.
// Tests wait on it ("CAL_SET_POINTS received") instead of sleeping; the
// command prints it with --log.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvelle {

struct SimEvent {
  enum class Kind : uint8_t {
    In,    // an output report received from a program
    Out,   // an input report sent to every open
    Note,  // something the controller did without a frame, or why it did not answer
  };
  uint64_t seq = 0;
  Kind kind = Kind::Note;
  std::vector<uint8_t> bytes;  // the report, report ID first
  std::string text;            // the command's name, or the note

  // A frame of this report ID and command code, in the given direction.
  bool IsFrame(Kind direction, uint8_t reportId, uint8_t code) const;
};

// "in  07 16 01 01 FF  CFG_16": direction, hex up to the terminator (or the
// last non-zero byte of a report that is no frame), name.
std::string FormatEvent(const SimEvent& event);

class SimEventLog {
 public:
  using Observer = std::function<void(const SimEvent&)>;
  using Predicate = std::function<bool(const SimEvent&)>;

  explicit SimEventLog(size_t capacity = 16384) : capacity_(capacity) {}

  void Record(SimEvent::Kind kind, std::span<const uint8_t> bytes, std::string text);
  // The observer runs on the recording thread, in order; it must not call
  // back into the controller.
  void SetObserver(Observer observer);
  uint64_t LastSeq() const;
  // The first event after `afterSeq` that matches, waiting up to `limit`.
  std::optional<SimEvent> WaitFor(const Predicate& match, uint64_t afterSeq,
                                  std::chrono::milliseconds limit) const;
  std::vector<SimEvent> After(uint64_t afterSeq) const;
  size_t Count(const Predicate& match, uint64_t afterSeq) const;

 private:
  const size_t capacity_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::deque<SimEvent> events_;
  uint64_t lastSeq_ = 0;
  Observer observer_;
};

}  // namespace orvelle
