#pragma once
// The calibration dialog against an in-process simulated controller, with the
// test packs, a settings store of its own and recorded message boxes.

#include <gtest/gtest.h>

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "calibration/calibration_dlg.h"
#include "platform/file_registry.h"
#include "platform/os_version.h"
#include "shell/language_library.h"
#include "shell/recording_message_boxes.h"
#include "sim/simulated_controller.h"

namespace orvelle {

class CalibrationDialogTest : public ::testing::Test {
 protected:
  CalibrationDialogTest();
  ~CalibrationDialogTest() override;

  // A controller in calibration mode `mode`, plugged in.
  void PlugController(uint8_t mode);
  // Construction and initialisation as exec runs them; the timer is then
  // stopped so that the test gives every tick itself.
  std::unique_ptr<CCalibrationDlg> StartDialog();
  // Runs the window thread's events until `done`, within `limit`.
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(20));
  // The controller touches every target of the run, at `positions` in capture
  // order (nominal where missing).
  void TouchTargets(std::vector<RawPoint> positions = {});
  // Text and caption of every box shown so far, as "caption|text".
  std::vector<QString> Boxes() const;
  static QString Box(int textId, int captionId = 1050, const QString& suffix = {});
  // Whether the controller received `code` since the start, and its last payload.
  bool Received(uint8_t code, std::vector<uint8_t>* payload = nullptr) const;
  std::string StoredMouseValue(const char* name);

  std::string simDir_;
  std::string configDir_;
  LanguageLibrary library_;
  std::unique_ptr<FileRegistry> registry_;
  FixedOsVersion os_{{kVerPlatformOther, 0, 0}};
  RecordingMessageBoxes boxes_;
  std::unique_ptr<SimulatedController> sim_;
  CalibrationEnvironment environment_;
};

}  // namespace orvelle
