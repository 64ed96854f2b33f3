#pragma once
// CConfigDlg: the second page. Each time it is shown it reads the
// controller's seven parameter groups and shows them; Apply writes back what
// the controls hold, and the controller can be asked to restore its own
// defaults. Nothing is kept on the PC.

#include <QString>

#include "console/console_page.h"
#include "console/core/config_page.h"

namespace orvelle {
class CUSBTransfer;
class OsVersion;
}  // namespace orvelle

namespace orvelle::console {

class CalibrationProgramRun;

class CConfigDlg : public ConsolePage {
 public:
  static constexpr int kTemplateId = 131;

  CConfigDlg(CUSBTransfer& link, const CalibrationProgramRun& calibration, const OsVersion& os,
             QWidget* parent = nullptr);

  void Refresh() override;
  void HandleFrame(std::span<const uint8_t> frame) override;
  // The new controller is read at once, as a selection would.
  void ControllerArrived() override { Refresh(); }
  void ControllerGone() override;
  void Apply();
  void RestoreDefaults();

  int WindowsClassInUse() const { return windowsClass_; }
  const ConfigPageState& State() const { return exchange_.State(); }

 private:
  void OnInitDialog();
  void ConnectControls();
  void OnComboSelection(int controlId);
  void OnSpinChange(int newPosition);
  void FillControls();
  void DisableAll();
  void SetControls(const ControlSettings& controls);
  void SetSpinPosition(int position);
  void UpdateData();
  // The read requests of every group of this system's class.
  void ReadGroups();
  // False when no answer came.
  bool Send(const FrameBuffer& request);

  CUSBTransfer& link_;
  const CalibrationProgramRun& calibration_;
  const int windowsClass_;
  ConfigExchange exchange_;
  // The edit box's text, moved to it at the end of each refresh.
  QString value16Text_;
  int spinPosition_ = 0;
};

}  // namespace orvelle::console
