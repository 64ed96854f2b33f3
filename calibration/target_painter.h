#pragma once
// Drawing of the nine target areas. Every figure is placed in target-relative
// coordinates and set pixel for pixel as the platform's MoveTo/LineTo would:
// a line covers its start point but not its end point.

#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>

#include "calibration/core/target_sequence.h"

namespace orvelle {

// The pixels from `from` up to, not including, `to`. Lines here are always
// horizontal or vertical; any other line is drawn as the painter draws it.
void DrawLineTo(QPainter& painter, QPoint from, QPoint to, const QColor& colour);

// Four L-shaped marks at 1/8 and 7/8 of the area, arms a quarter long.
void DrawCornerMarks(QPainter& painter, QSize area, const QColor& colour);
void DrawCrossHair(QPainter& painter, QSize area, const QColor& colour);
void DrawTarget(QPainter& painter, QSize area, const TargetLook& look);

// Fills each target area with the background and draws its target, as a pure
// function of the run's mode, active target and blink phase.
void PaintTargetAreas(QPainter& painter, const std::array<QRect, kTargetSlots>& targetRects,
                      int calMode, int targetIndex, bool blinkOn);

}  // namespace orvelle
