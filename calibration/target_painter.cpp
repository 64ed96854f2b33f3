#include "calibration/target_painter.h"

#include "calibration/screen_colours.h"

namespace orvelle {

void DrawLineTo(QPainter& painter, QPoint from, QPoint to, const QColor& colour) {
  if (from == to) return;
  if (from.y() == to.y()) {
    const int first = from.x() < to.x() ? from.x() : to.x() + 1;
    const int last = from.x() < to.x() ? to.x() - 1 : from.x();
    painter.fillRect(QRect(first, from.y(), last - first + 1, 1), colour);
  } else if (from.x() == to.x()) {
    const int first = from.y() < to.y() ? from.y() : to.y() + 1;
    const int last = from.y() < to.y() ? to.y() - 1 : from.y();
    painter.fillRect(QRect(from.x(), first, 1, last - first + 1), colour);
  } else {
    painter.save();
    painter.setPen(QPen(colour, 1));
    painter.drawLine(from, to);
    painter.restore();
  }
}

namespace {

void DrawPolyline(QPainter& painter, QPoint a, QPoint b, QPoint c, const QColor& colour) {
  DrawLineTo(painter, a, b, colour);
  DrawLineTo(painter, b, c, colour);
}

}  // namespace

void DrawCornerMarks(QPainter& painter, QSize area, const QColor& colour) {
  const int w = area.width(), h = area.height();
  const int x1 = w / 8, y1 = h / 8, x2 = (7 * w) / 8, y2 = (7 * h) / 8;
  const int aw = w / 4, ah = h / 4;
  DrawPolyline(painter, {x1, y1 + ah}, {x1, y1}, {x1 + aw, y1}, colour);
  DrawPolyline(painter, {x2 - aw, y1}, {x2, y1}, {x2, y1 + ah}, colour);
  DrawPolyline(painter, {x2, y2 - ah}, {x2, y2}, {x2 - aw, y2}, colour);
  DrawPolyline(painter, {x1 + aw, y2}, {x1, y2}, {x1, y2 - ah}, colour);
}

void DrawCrossHair(QPainter& painter, QSize area, const QColor& colour) {
  const int w = area.width(), h = area.height();
  DrawLineTo(painter, {0, h / 2}, {w, h / 2}, colour);
  DrawLineTo(painter, {w / 2, 0}, {w / 2, h}, colour);
}

void DrawTarget(QPainter& painter, QSize area, const TargetLook& look) {
  if (look.pen == TargetPen::None) return;
  const QColor& colour =
      look.pen == TargetPen::Magenta ? kActiveTargetColour : kFinishedTargetColour;
  if (look.cornerMarks) DrawCornerMarks(painter, area, colour);
  if (look.crossHair) DrawCrossHair(painter, area, colour);
}

void PaintTargetAreas(QPainter& painter, const std::array<QRect, kTargetSlots>& targetRects,
                      int calMode, int targetIndex, bool blinkOn) {
  for (int s = 0; s < kTargetSlots; ++s) {
    const QRect& r = targetRects[s];
    if (r.isEmpty()) continue;
    painter.save();
    painter.translate(r.topLeft());
    painter.setClipRect(QRect(QPoint(0, 0), r.size()));
    painter.fillRect(QRect(QPoint(0, 0), r.size()), kScreenBackground);
    DrawTarget(painter, r.size(), LookOfSlot(calMode, targetIndex, blinkOn, s));
    painter.restore();
  }
}

}  // namespace orvelle
