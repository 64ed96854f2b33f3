#pragma once
// COrvelleFactoryConfig2Dlg: the factory tool's main window. Opens the
// controller with the factory link profile, shows whether it is connected,
// and offers two operations: the controller's basic information (its model
// text) and the maximum number of touch points it reports.

#include <QDialog>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "devlink/dispatch.h"
#include "devlink/exchange_group.h"
#include "devlink/frame.h"
#include "factory/shared_values.h"

class QMenu;

namespace orvelle {

class CUSBTransfer;
class DeviceWatch;
class GuiAnswerDispatcher;

class COrvelleFactoryConfig2Dlg : public QDialog, public AnswerSink {
 public:
  enum { IDD = 102 };
  // Control identifiers of the main window.
  enum : int {
    IDC_TOUCH_COUNT = 1001,
    IDC_LED_COUNT = 1002,
    IDC_EDGE_OPTIMISATION = 1003,
    IDC_SERIAL_NUMBER = 1004,
    IDC_BASIC_INFO = 1005,
    IDC_EXIT = 1006,
    IDC_STATUS = 1008,
  };
  static constexpr std::chrono::milliseconds kPollStep{20};
  static constexpr int kPollLimit = 101;

  // The dialog owns the link for its life; production passes the factory
  // profile on the default bus.
  explicit COrvelleFactoryConfig2Dlg(std::unique_ptr<CUSBTransfer> link, QWidget* parent = nullptr);
  ~COrvelleFactoryConfig2Dlg() override;

  // OnInitDialog, then the modal loop unless initialisation ended the dialog.
  int DoModal();
  // False when no controller was found: the dialog has been ended (cancel).
  bool OnInitDialog();

  void ShowBasicInfo();
  void SetTouchCount();
  void OnExit();
  void OnAbout();
  void OnAnswer(std::span<const uint8_t> frame) override;

  // How the tool's own modal dialogs run (exec() by default); tests answer
  // them without a modal loop.
  using ModalRunner = std::function<int(QDialog&)>;
  void SetModalRunner(ModalRunner runner) { runModal_ = std::move(runner); }

  CUSBTransfer& Link() { return *link_; }
  const FactorySharedValues& Shared() const { return shared_; }
  QString StatusText() const { return statusText_; }
  // The controller's removal was noticed: the buttons say so and do nothing.
  bool ControllerRemoved() const { return controllerRemoved_; }
  QMenu* SystemMenu() const { return systemMenu_; }

 private:
  void CreateControls();
  void AddAboutItem();
  void RegisterForDeviceChanges();
  void DoDataExchange(bool fromControls);
  // Tests the connected flag (a message when clear), builds the command frame and
  // sends it; the result of the wait is the caller's to ignore.
  bool SendCommand(uint8_t code, std::initializer_list<uint8_t> payload);
  // Up to kPollLimit pauses of kPollStep while `flag` is clear; answers are
  // handled during each pause.
  bool PollFlag(const bool& flag, bool pauseFirst);
  // The touch limits asked for and polled; false after the time-out message.
  bool ReadTouchLimits(bool pauseFirst);
  // The controller for one group; none when another program holds it and
  // the user gave up.
  std::optional<ExchangeGroup> TakeController();
  int Message(int textId, int captionId);

  // Declared first: destroyed after everything that uses it.
  std::unique_ptr<CUSBTransfer> link_;
  std::unique_ptr<GuiAnswerDispatcher> dispatcher_;
  std::unique_ptr<DeviceWatch> deviceWatch_;
  // The controller was unplugged; the tool does not re-open, so it says so
  // when a button asks for it.
  bool controllerRemoved_ = false;
  bool SayIfRemoved();

  QString statusText_;  // bound to control 1008
  FrameBuffer frame_{};
  // One flag per kind of answer: a late answer to the other request must not
  // pass for the one awaited.
  bool modelReceived_ = false;
  bool limitsReceived_ = false;
  bool touchAcknowledged_ = false;
  bool touchAccepted_ = false;
  FactorySharedValues shared_;

  QMenu* systemMenu_ = nullptr;
  ModalRunner runModal_;
};

}  // namespace orvelle
