#pragma once
// A push button that paints itself: an icon beside its caption, a face colour
// per state, a focus rectangle, and (when flat) a hover look that follows the
// pointer.

#include <QColor>
#include <QIcon>
#include <QPushButton>
#include <array>
#include <cstdint>

namespace orvelle {

class ImageButton : public QPushButton {
  Q_OBJECT

 public:
  // Indices into colors: face and text while hovered or pressed, otherwise,
  // and while focused (XPImageButton: while pressed).
  enum ColorIndex {
    kFaceIn = 0,
    kTextIn = 1,
    kFaceOut = 2,
    kTextOut = 3,
    kFaceFocus = 4,
    kTextFocus = 5,
  };
  static constexpr uint8_t kImageLeft = 0;

  explicit ImageButton(QWidget* parent = nullptr);

  // An empty size takes 32 x 32 when the icon has it, else its first size.
  void SetIcon(const QIcon& icon, QSize size = {});
  void SetFlat(bool flat);
  void SetDrawBorder(bool drawBorder);
  void SetFlatFocus(bool flatFocus);
  void SetImageAlign(uint8_t imageAlign);
  void SetColor(int index, const QColor& color);

  bool flat() const { return flat_; }
  bool hover() const { return hover_; }
  QColor color(int index) const { return colors_.at(index); }
  QSize imageSize() const { return iconSize_; }
  // Where the icon stands in a button of this size, pressed or not.
  QPoint ImagePosition(const QRect& r, bool pressed) const;

  // The state of the last paint: held down, keyboard focus, disabled.
  bool pressed() const { return pressed_; }
  bool focused() const { return focused_; }
  bool disabled() const { return disabled_; }

 protected:
  virtual void DrawBackground(QPainter& painter, const QRect& r);
  virtual void DrawBorder(QPainter& painter, const QRect& r);

  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

  void SetHover(bool hover);
  void Draw3dRect(QPainter& painter, const QRect& r, const QColor& topLeft,
                  const QColor& bottomRight) const;

 private:
  QRect DrawImage(QPainter& painter, const QRect& r);
  void DrawCaption(QPainter& painter, const QRect& area);
  void DrawFocus(QPainter& painter, const QRect& r);
  void PointerMoved(bool inside);

  bool flat_ = true;
  bool drawBorder_ = true;
  bool flatFocus_ = false;
  bool hover_ = false;
  bool pressed_ = false;
  bool focused_ = false;
  bool disabled_ = false;
  uint8_t imageAlign_ = kImageLeft;
  std::array<QColor, 6> colors_;
  QIcon icon_;
  QSize iconSize_{0, 0};
};

}  // namespace orvelle
