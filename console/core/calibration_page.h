#pragma once
// The calibration page's exchange with the controller: the calibration mode
// and the four-way option, the calibration record for export and import, and
// the reset; which answers are taken and what each asks of the window. Free
// of Qt so that the command-line tool shares it.

#include <cstdint>
#include <optional>
#include <span>

#include "console/core/calibration_file.h"
#include "devlink/frame.h"

namespace orvelle::console {

inline constexpr int kFirstCalMode = 2;  // four targets; 3 five, 4 nine
inline constexpr int kLastCalMode = 4;
inline constexpr int kCalOptionCount = 4;  // shown as 0..3; 4 is accepted, shown as none

struct CalibrationPageState {
  bool applyOk = true;  // no failure acknowledged since Apply began
  bool optionKnown = false;
  int calOption = 0;
  bool modeKnown = false;
  int calMode = kFirstCalMode;
  int confirmedMode = kFirstCalMode;  // the mode the controller last confirmed

  bool operator==(const CalibrationPageState&) const = default;
};

// What an answer asks of the window, in this order.
struct CalibrationAnswerEffect {
  std::optional<CalibrationRecord> recordToExport;  // save it, then say how that went
  int message = 0;                                  // string id; 0: none
  bool showMode = false;                            // set the mode radios from calMode
  bool repaint = false;

  bool operator==(const CalibrationAnswerEffect&) const = default;
};

class CalibrationExchange {
 public:
  // CAL_OPTION_13 read {1} and write {2, option}: command frames.
  static FrameBuffer OptionRead();
  FrameBuffer OptionWrite() const;
  // CAL_SET_MODE {mode}; CAL_WRITE_DATA with the record; `code` alone
  // (CAL_GET_MODE, CAL_READ_DATA, CAL_RESET): calibration frames.
  FrameBuffer ModeWrite() const;
  static FrameBuffer RecordWrite(const CalibrationRecord& record);
  static FrameBuffer Request(uint8_t code);

  // What is known comes from this refresh's answers alone.
  void BeginRefresh() { state_.optionKnown = state_.modeKnown = false; }
  // Apply writes the option and mode chosen now; a refresh after its writes
  // tells whether the controller kept them.
  void BeginApply();
  bool AppliedKept() const;
  // The next record answer is the read-back of an import of `record`: an
  // accepted write is done when the controller reports the same record.
  void BeginImport(const CalibrationRecord& record);
  // The import's write was refused or not answered: no read-back follows.
  bool ImportAwaited() const { return imported_.has_value(); }
  void AbandonImport() { imported_.reset(); }
  bool ImportKept() const { return importKept_; }
  // The next record answer belongs to an export the user asked for.
  void BeginExport() { exportAwaited_ = true; }
  // The record's request went unanswered: a late record is no export's.
  void AbandonExport() { exportAwaited_ = false; }
  // The controller went: nothing read of it stays known.
  void Forget() { *this = {}; }
  void ChooseOption(int option) { state_.calOption = option; }
  void ChooseMode(int mode) { state_.calMode = mode; }

  CalibrationAnswerEffect HandleFrame(std::span<const uint8_t> frame);

  const CalibrationPageState& State() const { return state_; }
  bool ExportAwaited() const { return exportAwaited_; }

 private:
  CalibrationAnswerEffect HandleOption(const FrameView& frame);
  CalibrationAnswerEffect HandleCalibration(const FrameView& frame);

  CalibrationPageState state_;
  bool exportAwaited_ = false;
  int appliedOption_ = 0;
  int appliedMode_ = kFirstCalMode;
  std::optional<CalibrationRecord> imported_;
  bool importKept_ = false;
};

// The value of a group of radios after a click: the clicked one when it is
// checked, else the first checked of the others in ascending order; when none
// of those is checked, the last of them.
int ChosenRadio(int clicked, std::span<const bool> checked);

// Where a picture of `width` x `height` goes in `area` keeping its aspect
// ratio: the full width, centred vertically, or the full height, centred
// horizontally when it is higher than wide.
struct PictureArea {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const PictureArea&) const = default;
};
PictureArea FitPicture(const PictureArea& area, int width, int height);

}  // namespace orvelle::console
