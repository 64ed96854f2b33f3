#include "console/core/calibration_page.h"

#include <vector>

#include "console/core/message_ids.h"
#include "devlink/protocol.h"

namespace orvelle::console {
namespace {

constexpr uint8_t kAccepted = 1;
constexpr uint8_t kRefused = 0;

bool IsCalMode(int mode) {
  return mode >= kFirstCalMode && mode <= kLastCalMode;
}

}  // namespace

FrameBuffer CalibrationExchange::OptionRead() {
  FrameBuffer frame;
  BuildFrame(frame, kCommandReportId, CAL_OPTION_13, {kSubRead});
  return frame;
}

FrameBuffer CalibrationExchange::OptionWrite() const {
  FrameBuffer frame;
  BuildFrame(frame, kCommandReportId, CAL_OPTION_13,
             {kSubWrite, static_cast<uint8_t>(state_.calOption)});
  return frame;
}

FrameBuffer CalibrationExchange::ModeWrite() const {
  FrameBuffer frame;
  BuildFrame(frame, kCalibrationReportId, CAL_SET_MODE, {static_cast<uint8_t>(state_.calMode)});
  return frame;
}

FrameBuffer CalibrationExchange::RecordWrite(const CalibrationRecord& record) {
  FrameBuffer frame;
  BuildFrame(frame, kCalibrationReportId, CAL_WRITE_DATA, record);
  return frame;
}

FrameBuffer CalibrationExchange::Request(uint8_t code) {
  FrameBuffer frame;
  BuildFrame(frame, kCalibrationReportId, code, std::span<const uint8_t>());
  return frame;
}

void CalibrationExchange::BeginApply() {
  state_.applyOk = true;
  appliedOption_ = state_.calOption;
  appliedMode_ = state_.calMode;
}

bool CalibrationExchange::AppliedKept() const {
  return state_.optionKnown && state_.modeKnown && state_.calOption == appliedOption_ &&
         state_.calMode == appliedMode_;
}

void CalibrationExchange::BeginImport(const CalibrationRecord& record) {
  imported_ = record;
  importKept_ = false;
}

CalibrationAnswerEffect CalibrationExchange::HandleFrame(std::span<const uint8_t> bytes) {
  const FrameView frame(bytes);
  switch (frame.ReportId()) {
    case kCalibrationReportId:
      return HandleCalibration(frame);
    case kCommandReportId:
      return frame.Code() == CAL_OPTION_13 ? HandleOption(frame) : CalibrationAnswerEffect{};
    default:
      return {};
  }
}

CalibrationAnswerEffect CalibrationExchange::HandleOption(const FrameView& frame) {
  if (frame.PayloadLength() != 2) return {};
  const uint8_t value = frame.Payload(1);
  if (frame.Payload(0) == kSubRead) {
    state_.optionKnown = value <= kCalOptionCount;
    if (!state_.optionKnown) return {.message = kMsgOperationFailed};
    state_.calOption = value;
  } else if (frame.Payload(0) == kSubWrite && value == kRefused) {
    state_.applyOk = false;  // Apply reports it, with the mode's outcome
  }
  return {};
}

CalibrationAnswerEffect CalibrationExchange::HandleCalibration(const FrameView& frame) {
  const uint8_t length = frame.PayloadLength();
  const uint8_t first = frame.Payload(0);
  switch (frame.Code()) {
    case CAL_GET_MODE:
      if (length != 1) return {};
      state_.modeKnown = IsCalMode(first);
      if (!state_.modeKnown) return {};
      state_.calMode = state_.confirmedMode = first;
      return {.showMode = true};
    case CAL_SET_MODE:
      if (length != 1) return {};
      if (first == kAccepted) {
        state_.confirmedMode = state_.calMode;
        return {};
      }
      state_.calMode = state_.confirmedMode;
      state_.applyOk = false;
      return {.showMode = true};
    case CAL_WRITE_DATA:
      if (first == kRefused) {
        imported_.reset();
        return {.message = kMsgOperationFailed, .showMode = true, .repaint = true};
      }
      return {.showMode = true, .repaint = true};  // the read-back tells how it went
    case CAL_RESET:
      return {.message = first == kRefused ? kMsgOperationFailed : kMsgSaved,
              .showMode = true,
              .repaint = true};
    case CAL_READ_DATA: {
      if (imported_) {
        importKept_ = length == kCalibrationRecordLength;
        for (size_t k = 0; importKept_ && k < imported_->size(); ++k)
          importKept_ = frame.Payload(k) == (*imported_)[k];
        imported_.reset();
        return {};
      }
      // Only an export the user asked for takes the record; a record that
      // cannot be saved (mode 2, or the wrong length) still ends it with a word.
      if (!exportAwaited_) return {};
      exportAwaited_ = false;
      if ((state_.calMode != 3 && state_.calMode != 4) || length != kCalibrationRecordLength) {
        return {.message = kMsgNotSavedToFile};
      }
      CalibrationRecord record;
      for (size_t k = 0; k < record.size(); ++k)
        record[k] = frame.Payload(k);
      return {.recordToExport = record};
    }
    default:
      return {};  // CAL_BEGIN, CAL_SET_POINTS, CAL_END, CAL_RAW_POINT: the calibration program's
  }
}

int ChosenRadio(int clicked, std::span<const bool> checked) {
  std::vector<int> order{clicked};
  for (int value = 0; value < static_cast<int>(checked.size()); ++value) {
    if (value != clicked) order.push_back(value);
  }
  for (size_t k = 0; k + 1 < order.size(); ++k) {
    if (checked[static_cast<size_t>(order[k])]) return order[k];
  }
  return order.back();
}

PictureArea FitPicture(const PictureArea& area, int width, int height) {
  if (width <= 0 || height <= 0) return {area.left, area.top, 0, 0};
  if (width >= height) {
    const int fitted = static_cast<int>(int64_t{area.width} * height / width);
    return {area.left, area.top + (area.height - fitted) / 2, area.width, fitted};
  }
  const int fitted = static_cast<int>(int64_t{area.height} * width / height);
  return {area.left + (area.width - fitted) / 2, area.top, fitted, area.height};
}

}  // namespace orvelle::console
