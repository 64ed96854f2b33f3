#pragma once
// CInfoDlg: the first page. Each time it is shown it asks the controller for
// its identity texts and layout, one request at a time, and shows them, or
// the placeholders when the answers that count did not come.

#include "console/console_page.h"
#include "console/core/info_page.h"

namespace orvelle {
class CUSBTransfer;
}

namespace orvelle::console {

class CalibrationProgramRun;

class CInfoDlg : public ConsolePage {
 public:
  static constexpr int kTemplateId = 129;
  enum : int {
    IDC_COUNT_A = 1038,
    IDC_COUNT_B = 1039,
    IDC_LIST_A = 1040,
    IDC_LIST_B = 1041,
    IDC_INFO_VALUE = 1042,
    IDC_MODEL = 1050,
    IDC_IDENTITY_2 = 1051,
    IDC_IDENTITY_3 = 1052,
    IDC_IDENTITY_4 = 1053,
  };

  CInfoDlg(CUSBTransfer& link, const CalibrationProgramRun& calibration, QWidget* parent = nullptr);

  void Refresh() override;
  void ControllerArrived() override { Refresh(); }
  void HandleFrame(std::span<const uint8_t> frame) override;
  void ResetToDefaults();

  const InfoPageState& State() const { return exchange_.State(); }

 private:
  void UpdateData();

  CUSBTransfer& link_;
  const CalibrationProgramRun& calibration_;
  InfoExchange exchange_;
};

}  // namespace orvelle::console
