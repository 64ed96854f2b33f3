#include "devlink/protocol.h"

namespace orvelle {

int ReadAnswerLength(uint8_t code) {
  switch (code) {
    case GET_MODEL:
    case GET_INFO_F3:
    case GET_INFO_F4:
      return static_cast<int>(1 + kShortTextLength);
    case GET_INFO_F5:
      return static_cast<int>(1 + kLongTextLength);
    case INFO_01:
      return 3;
    case GET_LAYOUT:
      return 1 + 1 + kLayoutListACapacity + 1 + kLayoutListBCapacity;
    case TOUCH_SETTINGS:
    case CAL_OPTION_13:
      return 2;
    case CFG_12:
      return 4;
    case CFG_16:
      return 3;
    case CFG_17:
    case CFG_15:
    case CFG_14:
      return 5;
    case CFG_21:
      return 6;
    default:
      return 0;
  }
}

int AcknowledgementLength(uint8_t code) {
  switch (code) {
    case CFG_14:
    case CFG_15:
    case CFG_21:
      return ReadAnswerLength(code);
    case CFG_RESET:
      return 5;
    default:
      return 2;
  }
}

// One line per name, as the table it is.
// clang-format off
const char* CommandName(uint8_t reportId, uint8_t code) {
  if (reportId == kCalibrationReportId) {
    switch (code) {
      case CAL_GET_MODE: return "CAL_GET_MODE";
      case CAL_SET_MODE: return "CAL_SET_MODE";
      case CAL_BEGIN: return "CAL_BEGIN";
      case CAL_SET_POINTS: return "CAL_SET_POINTS";
      case CAL_END: return "CAL_END";
      case CAL_WRITE_DATA: return "CAL_WRITE_DATA";
      case CAL_READ_DATA: return "CAL_READ_DATA";
      case CAL_RAW_POINT: return "CAL_RAW_POINT";
      case CAL_RESET: return "CAL_RESET";
      default: return nullptr;
    }
  }
  if (reportId == kCommandReportId) {
    switch (code) {
      case INFO_01: return "INFO_01";
      case GET_LAYOUT: return "GET_LAYOUT";
      case TOUCH_SETTINGS: return "TOUCH_SETTINGS";
      case CFG_12: return "CFG_12";
      case CAL_OPTION_13: return "CAL_OPTION_13";
      case CFG_14: return "CFG_14";
      case CFG_15: return "CFG_15";
      case CFG_16: return "CFG_16";
      case CFG_17: return "CFG_17";
      case CFG_21: return "CFG_21";
      case CFG_RESET: return "CFG_RESET";
      case GET_MODEL: return "GET_MODEL";
      case GET_INFO_F3: return "GET_INFO_F3";
      case GET_INFO_F4: return "GET_INFO_F4";
      case GET_INFO_F5: return "GET_INFO_F5";
      default: return nullptr;
    }
  }
  return nullptr;
}
// clang-format on

}  // namespace orvelle
