#include "calibration/xp_image_button.h"

#include <QPainter>

namespace orvelle {
namespace {

constexpr int kCornerRadius = 8;  // 16 x 16 corner ellipses

}  // namespace

XPImageButton::XPImageButton(QWidget* parent) : ImageButton(parent) {}

void XPImageButton::SetRounded(bool rounded) {
  rounded_ = rounded;
  update();
}

void XPImageButton::DrawBackground(QPainter& painter, const QRect& r) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(color(pressed() ? kFaceFocus : kFaceIn));
  // A one-pixel outline drawn on a QRect covers one pixel more than its width.
  const QRect outline = r.adjusted(0, 0, -1, -1);
  if (rounded_) {
    painter.drawRoundedRect(outline, kCornerRadius, kCornerRadius);
  } else {
    painter.drawRect(outline);
  }
  painter.restore();
}

// The outline is part of the face; hovering changes nothing here.
void XPImageButton::DrawBorder(QPainter&, const QRect&) {}

}  // namespace orvelle
