#pragma once
// The flat, rounded look of the calibration screen's OK and Cancel buttons:
// one face colour normally and another while pressed, outlined in black.

#include "calibration/image_button.h"

namespace orvelle {

class XPImageButton : public ImageButton {
  Q_OBJECT

 public:
  explicit XPImageButton(QWidget* parent = nullptr);

  void SetRounded(bool rounded);
  bool rounded() const { return rounded_; }

 protected:
  void DrawBackground(QPainter& painter, const QRect& r) override;
  void DrawBorder(QPainter& painter, const QRect& r) override;

 private:
  bool rounded_ = false;
};

}  // namespace orvelle
