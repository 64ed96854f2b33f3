#pragma once
// CCalibrationDlg: the calibration page. It shows and changes the controller's
// calibration mode and four-way option (with a picture of the option), starts
// the calibration program and the touch test, saves the calibration record to a file and loads
// it back, and resets the controller's calibration.

#include <QPointer>
#include <QString>
#include <array>

#include "console/console_page.h"
#include "console/core/calibration_page.h"

namespace orvelle {
class CUSBTransfer;
}

namespace orvelle::console {

class CalibrationProgramRun;
class FileDialogService;
class ProgramLauncher;
class TouchTestWindow;

class CCalibrationDlg : public ConsolePage {
 public:
  static constexpr int kTemplateId = 132;
  static constexpr int kFirstOptionPicture = 136;
  enum : int {
    IDC_OPTION_0 = 1008,
    IDC_OPTION_1 = 1009,
    IDC_OPTION_2 = 1010,
    IDC_OPTION_3 = 1011,
    IDC_PICTURE = 1012,
    IDC_MODE_2 = 1013,
    IDC_MODE_4 = 1014,
    IDC_APPLY = 1015,
    IDC_RESET = 1016,
    IDC_START = 1017,
    IDC_EXPORT = 1018,
    IDC_IMPORT = 1019,
    IDC_MODE_3 = 1020,
    IDC_TOUCH_TEST = 1021,
  };
  static constexpr std::array<int, 4> kOptionRadios = {IDC_OPTION_0, IDC_OPTION_1, IDC_OPTION_2,
                                                       IDC_OPTION_3};
  static constexpr std::array<int, 3> kModeRadios = {IDC_MODE_2, IDC_MODE_3, IDC_MODE_4};
  static constexpr std::array<int, 5> kButtons = {IDC_START, IDC_EXPORT, IDC_IMPORT, IDC_RESET,
                                                  IDC_APPLY};

  CCalibrationDlg(CUSBTransfer& link, CalibrationProgramRun& calibration,
                  FileDialogService& fileDialogs, ProgramLauncher& launcher,
                  QWidget* parent = nullptr);

  void Refresh() override;
  void HandleFrame(std::span<const uint8_t> frame) override;
  void ControllerArrived() override { Refresh(); }
  void ControllerGone() override;

  // Both on the screen the console's window is on.
  void StartCalibrationProgram();
  void StartTouchTest();
  void ExportCalibration();
  void ImportCalibration();
  void ResetCalibration();
  void Apply();

  const CalibrationPageState& State() const { return exchange_.State(); }
  QString ExportPath() const { return exportPath_; }
  QString ImportPath() const { return importPath_; }
  TouchTestWindow* TouchTest() const;
  // Where the option picture is drawn, in page coordinates; empty when none is.
  QRect PictureRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void ConnectControls();
  void OnOptionClicked(int option);
  void OnModeClicked(int index);
  void ShowOption();
  void ShowMode();
  void EnableControls(std::span<const int> ids, bool enabled);
  void EnableKnownControls();
  // The option and the mode asked for, and the page set from what is known.
  void ReadModeAndOption();
  void ShowKnown();
  void WriteRecord(const CalibrationRecord& record);
  bool Connected();
  // False when no answer came.
  bool Send(int channel, const FrameBuffer& frame);
  void SaveExport(const CalibrationRecord& record);
  // `detail`, when given, on a line of its own below the text.
  void ShowMessage(int textId, const QString& detail = {});

  CUSBTransfer& link_;
  CalibrationProgramRun& calibration_;
  FileDialogService& fileDialogs_;
  ProgramLauncher& launcher_;
  CalibrationExchange exchange_;
  QString exportPath_;
  QString importPath_;
  QPointer<TouchTestWindow> touchTest_;
};

}  // namespace orvelle::console
