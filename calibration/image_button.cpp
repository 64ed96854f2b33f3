#include "calibration/image_button.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>

namespace orvelle {
namespace {

constexpr int kImageMargin = 3;  // icon from the left edge, and caption from the icon
constexpr int kFocusInset = 3;
constexpr QSize kDefaultIconSize{32, 32};
constexpr int kCaptionFlags = Qt::AlignHCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;

}  // namespace

ImageButton::ImageButton(QWidget* parent) : QPushButton(parent) {
  for (size_t i = 0; i < colors_.size(); ++i) {
    colors_[i] = palette().color(i % 2 == 0 ? QPalette::Button : QPalette::ButtonText);
  }
  // Pointer moves without a button held drive the hover look.
  setMouseTracking(true);
}

void ImageButton::SetIcon(const QIcon& icon, QSize size) {
  icon_ = icon;
  if (size.isEmpty()) {
    // The platform's standard icon size when the icon has it.
    const QList<QSize> sizes = icon.availableSizes();
    size = (sizes.isEmpty() || sizes.contains(kDefaultIconSize)) ? kDefaultIconSize : sizes.first();
  }
  iconSize_ = icon.isNull() ? QSize(0, 0) : size;
  update();
}

void ImageButton::SetFlat(bool flat) {
  flat_ = flat;
  if (!flat_) hover_ = false;
  update();
}

void ImageButton::SetDrawBorder(bool drawBorder) {
  drawBorder_ = drawBorder;
  update();
}

void ImageButton::SetFlatFocus(bool flatFocus) {
  flatFocus_ = flatFocus;
  update();
}

void ImageButton::SetImageAlign(uint8_t imageAlign) {
  imageAlign_ = imageAlign;
  update();
}

void ImageButton::SetColor(int index, const QColor& color) {
  if (index < 0 || index >= static_cast<int>(colors_.size())) return;
  colors_[index] = color;
  update();
}

QPoint ImageButton::ImagePosition(const QRect& r, bool pressed) const {
  // Only the image-left alignment exists; it centres the icon when there is
  // no caption.
  const int x =
      text().isEmpty() ? r.left() + (r.width() - iconSize_.width()) / 2 : r.left() + kImageMargin;
  const int y = r.top() + (r.height() - iconSize_.height()) / 2;
  return pressed ? QPoint(x + 1, y + 1) : QPoint(x, y);
}

void ImageButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  pressed_ = isDown();
  focused_ = hasFocus();
  disabled_ = !isEnabled();

  QRect r = rect();
  if (!flat_ && (focused_ || isDefault())) {
    Draw3dRect(painter, r, Qt::black, Qt::black);
    r.adjust(1, 1, -1, -1);
  }
  DrawBackground(painter, r);
  if (pressed_) {
    if (!flat_) {
      const QColor shadow = palette().color(QPalette::Dark);
      Draw3dRect(painter, r, shadow, shadow);
    } else if (drawBorder_) {
      DrawBorder(painter, r);
    }
  } else if (!flat_) {
    Draw3dRect(painter, r, palette().color(QPalette::Light), palette().color(QPalette::Shadow));
    Draw3dRect(painter, r.adjusted(1, 1, -1, -1), palette().color(QPalette::Midlight),
               palette().color(QPalette::Dark));
  } else if (hover_ && drawBorder_) {
    DrawBorder(painter, r);
  }

  const QRect captionArea = DrawImage(painter, r);
  if (!text().isEmpty()) DrawCaption(painter, captionArea);
  if (focused_ && (!flat_ || flatFocus_)) {
    DrawFocus(painter, r.adjusted(kFocusInset, kFocusInset, -kFocusInset, -kFocusInset));
  }
}

void ImageButton::DrawBackground(QPainter& painter, const QRect& r) {
  const int face = (hover_ || pressed_) ? kFaceIn : (focused_ ? kFaceFocus : kFaceOut);
  painter.fillRect(r, colors_[face]);
}

void ImageButton::DrawBorder(QPainter& painter, const QRect& r) {
  const QColor light = palette().color(QPalette::Light);
  const QColor shadow = palette().color(QPalette::Dark);
  if (pressed_) {
    Draw3dRect(painter, r, shadow, light);
  } else {
    Draw3dRect(painter, r, light, shadow);
  }
}

// One-pixel frame: top and left in the first colour, bottom and right in the
// second, the corners shared as the platform's 3-D rectangle shares them.
void ImageButton::Draw3dRect(QPainter& painter, const QRect& r, const QColor& topLeft,
                             const QColor& bottomRight) const {
  const int x = r.left(), y = r.top(), w = r.width(), h = r.height();
  if (w <= 0 || h <= 0) return;
  painter.fillRect(QRect(x, y, w - 1, 1), topLeft);
  painter.fillRect(QRect(x, y, 1, h - 1), topLeft);
  painter.fillRect(QRect(x + w - 1, y, 1, h), bottomRight);
  painter.fillRect(QRect(x, y + h - 1, w, 1), bottomRight);
}

QRect ImageButton::DrawImage(QPainter& painter, const QRect& r) {
  if (icon_.isNull()) return r;
  const QPixmap image =
      icon_.pixmap(iconSize_, disabled_ ? QIcon::Disabled : QIcon::Normal, QIcon::Off);
  painter.drawPixmap(QRect(ImagePosition(r, pressed_), iconSize_), image);
  const int captionLeft = iconSize_.width() + kImageMargin;
  return r.adjusted(captionLeft, 0, 0, 0);
}

void ImageButton::DrawCaption(QPainter& painter, const QRect& area) {
  const QFontMetrics metrics(font());
  const QRect measured =
      metrics.boundingRect(QRect(0, 0, area.width(), 0x10000), kCaptionFlags, text());
  QRect placed(area.left() + (area.width() - measured.width()) / 2,
               area.top() + (area.height() - measured.height()) / 2, measured.width(),
               measured.height());
  if (pressed_) placed.translate(1, 1);

  painter.save();
  painter.setFont(font());
  if (disabled_) {
    painter.setPen(palette().color(QPalette::Light));
    painter.drawText(placed.translated(1, 1), kCaptionFlags, text());
    painter.setPen(palette().color(QPalette::Dark));
  } else {
    painter.setPen(colors_[(hover_ || pressed_) ? kTextIn : kTextOut]);
  }
  painter.drawText(placed, kCaptionFlags, text());
  painter.restore();
}

// A dotted frame that inverts what lies beneath, like the platform's focus
// rectangle; plain dots in the text colour where inverting is not supported.
void ImageButton::DrawFocus(QPainter& painter, const QRect& r) {
  if (r.width() <= 0 || r.height() <= 0) return;
  painter.save();
  QColor dot = colors_[kTextOut];
  if (painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes)) {
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    dot = Qt::white;
  }
  const int x0 = r.left(), y0 = r.top(), x1 = r.right(), y1 = r.bottom();
  auto dotAt = [&](int x, int y) {
    if (((x + y) & 1) == 0) painter.fillRect(QRect(x, y, 1, 1), dot);
  };
  for (int x = x0; x <= x1; ++x) {
    dotAt(x, y0);
    if (y1 != y0) dotAt(x, y1);
  }
  for (int y = y0 + 1; y < y1; ++y) {
    dotAt(x0, y);
    if (x1 != x0) dotAt(x1, y);
  }
  painter.restore();
}

void ImageButton::SetHover(bool hover) {
  if (hover_ == hover) return;
  hover_ = hover;
  update();
}

void ImageButton::PointerMoved(bool inside) {
  if (!flat_) return;
  if (!inside) {
    SetHover(false);
    return;
  }
  // A press that started elsewhere and is dragged in does not light the button.
  if (hover_ || (QGuiApplication::mouseButtons() & Qt::LeftButton)) return;
  if (QApplication::activeWindow() != nullptr) SetHover(true);
}

void ImageButton::enterEvent(QEnterEvent* event) {
  PointerMoved(true);
  QPushButton::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
  SetHover(false);
  QPushButton::leaveEvent(event);
}

void ImageButton::mouseMoveEvent(QMouseEvent* event) {
  PointerMoved(rect().contains(event->position().toPoint()));
  QPushButton::mouseMoveEvent(event);
}

void ImageButton::focusOutEvent(QFocusEvent* event) {
  SetHover(false);
  QPushButton::focusOutEvent(event);
}

void ImageButton::changeEvent(QEvent* event) {
  if ((event->type() == QEvent::EnabledChange && !isEnabled()) ||
      (event->type() == QEvent::ActivationChange && !isActiveWindow())) {
    SetHover(false);
  }
  QPushButton::changeEvent(event);
}

}  // namespace orvelle
