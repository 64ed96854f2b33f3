#pragma once
// TouchTestWindow: a full-screen window on one screen with five crosses where
// the calibration targets stand. It reads the touch and mouse events the
// desktop delivers, so it tests the whole chain from the controller's
// calibration to the desktop's mapping, and sends nothing to the controller.
// A screen that fails is offered a new calibration; Escape or Close ends it.

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWidget>
#include <functional>

#include "calibration/core/touch_test.h"

namespace orvelle::console {

class TouchTestWindow : public QWidget {
 public:
  TouchTestWindow(QScreen* screen, std::function<void()> calibrateAgain, QWidget* parent = nullptr);

  // A touch at `at`, in the window's coordinates.
  void TouchAt(QPointF at);

  const TouchTest& Test() const { return test_; }
  QString ReportText() const { return report_->text(); }
  QPushButton* CalibrateAgainButton() const { return again_; }
  QPushButton* CloseButton() const { return close_; }
  // The distance text beside cross `cross`; empty while it is untouched.
  QString CrossText(int cross) const;

 protected:
  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowVerdict();
  void PlaceControls();

  TouchTest test_;
  std::function<void()> calibrateAgain_;
  QLabel* report_;
  QPushButton* again_;
  QPushButton* close_;
};

}  // namespace orvelle::console
