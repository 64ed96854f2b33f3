#pragma once
// CCalibrationDlg: the full-screen calibration dialog. It opens the
// controller, puts it into calibration, shows the targets of its mode, feeds
// raw touch reports and timer ticks to the run, writes the result and ends
// with the user's choice. The run's logic lives in CalibrationRun; this class
// draws, forwards events and talks to the link. Answer handlers run on the
// window thread through the dispatcher.

#include <QDialog>
#include <QPointer>
#include <QScreen>
#include <QString>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "calibration/core/calibration_run.h"
#include "calibration/core/mouse_settings.h"
#include "devlink/dispatch.h"
#include "devlink/exchange_group.h"
#include "devlink/frame.h"
#include "devlink/hid/bus.h"
#include "devlink/link_profile.h"

namespace orvelle {

class CUSBTransfer;
class GuiAnswerDispatcher;
class OsVersion;
class Registry;
class TerminationWatch;
class XPImageButton;

#ifdef _WIN32
inline constexpr bool kSuiteOwnSettingsStore = false;
#else
inline constexpr bool kSuiteOwnSettingsStore = true;
#endif

// What the calibration dialog takes from the machine; tests put in their own.
struct CalibrationEnvironment {
  std::shared_ptr<HidBus> bus;  // null: the default bus
  LinkProfile profile = LinkProfile::Calibration();
  std::string device;                     // the controller's path; empty: the first as ranked
  Registry* registry = nullptr;           // null: the system's settings store
  const OsVersion* osVersion = nullptr;   // null: the running system
  QPointer<QScreen> display;              // where the run is shown; null: the primary screen
  std::optional<int> displayOrientation;  // the platform's value; none: the display's
  std::optional<QRect> screen;            // none: the display's geometry
  // Where the settings store is the suite's own (not Windows' registry), its
  // missing double-click values start from the desktop's: these, or the
  // desktop's own when none are given.
  bool seedFromDesktop = kSuiteOwnSettingsStore;
  std::optional<DesktopDoubleClick> desktopDoubleClick;
};

class CCalibrationDlg : public QDialog, public AnswerSink {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 102;
  static constexpr int kTimerId = 1;
  static constexpr int kTimerPeriodMs = 500;
  static constexpr int kAboutCommand = 0x10;

  using Environment = CalibrationEnvironment;

  CCalibrationDlg() : CCalibrationDlg(Environment{}) {}
  explicit CCalibrationDlg(Environment environment);
  ~CCalibrationDlg() override;

  // Everything between construction and the first target; false when the
  // dialog ended during it (no controller).
  bool OnInitDialog();
  int exec() override;

  void OnAnswer(std::span<const uint8_t> frame) override;
  void CaptureSample(std::span<const uint8_t, 5> p);
  void OnTimer(int timerId);
  void OnCalibrationDone();
  bool SendCalibrationPoints();
  void OnOK();
  void OnCancel();
  void OnDeviceChange(const DeviceNotice& notice);
  void OnSysCommand(int command);

  void DetectWindowsVersion();
  void DetectDisplayOrientation();
  bool ApplyMouseSettings();

  // Esc, the window's close and the template's buttons end through the run's paths.
  void accept() override { OnOK(); }
  void reject() override { OnCancel(); }

  const CalibrationRun& run() const { return run_; }
  CUSBTransfer& link() { return *link_; }
  QTimer& timer() { return timer1_; }
  const QString& instructionText() const { return instructionText_; }
  const QString& countdownText() const { return countdownText_; }
  int osClass() const { return osClass_; }
  int orientation() const { return orientation_; }
  QScreen* display() const { return Display(); }
  bool cursorHidden() const { return cursorHidden_; }
  bool ended() const { return ended_; }
  XPImageButton* okButton() const { return okButton_; }
  XPImageButton* cancelButton() const { return cancelButton_; }
  const std::array<QRect, kTargetSlots>& targetRects() const { return targetRects_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void SetupControls();
  void AddAboutEntry();
  void LayoutControls();
  void UpdateData();
  // The instruction, the count-down and, once complete, OK and Cancel.
  void ShowTexts(const TickAction& action);
  // True when the controller answered and did not refuse.
  bool SendCalibrationFrame(uint8_t code, std::span<const uint8_t> payload);
  bool Exchange();
  // Holds the controller from the first request to CAL_END; false, with the
  // user told why, when the run cannot begin.
  bool BeginRun();
  void Pause(int milliseconds);
  void RegisterForDeviceChanges();
  void InvalidateTargets();
  void ShowCursor(bool show);
  void ShowMessage(int textId, int captionId = 1050, const QString& suffix = {});
  void EndRun(bool accept);
  QScreen* Display() const;

  Environment environment_;
  std::unique_ptr<Registry> ownRegistry_;
  std::unique_ptr<CUSBTransfer> link_;
  std::unique_ptr<GuiAnswerDispatcher> dispatcher_;
  std::unique_ptr<DeviceWatch> watch_;
  std::unique_ptr<TerminationWatch> termination_;
  // The controller, held for the run: while held, the run ends in it.
  ExchangeGroup group_;
  // The last request's answer: refused, or positively taken.
  bool refused_ = false;
  bool taken_ = false;
  // Notices that came during initialisation wait until it is done: the link
  // is not open, or not yet told to calibrate, before then.
  bool startingUp_ = true;
  std::vector<DeviceNotice> heldNotices_;

  CalibrationRun run_;
  QString instructionText_;
  QString countdownText_;
  int osClass_ = 3;
  int orientation_ = 0;
  FrameBuffer requestFrame_{};
  QTimer timer1_;
  std::array<QRect, kTargetSlots> targetRects_{};
  XPImageButton* okButton_ = nullptr;
  XPImageButton* cancelButton_ = nullptr;
  bool templateLoaded_ = false;
  bool initialised_ = false;
  bool cursorHidden_ = false;
  bool ending_ = false;
  bool ended_ = false;
};

}  // namespace orvelle
