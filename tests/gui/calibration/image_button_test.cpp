#include "calibration/xp_image_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>

#include "calibration/screen_colours.h"
#include "calibration/screen_setup.h"

namespace orvelle {
namespace {

const QColor kIconColour{0, 200, 0};

// Dark caption pixels' x extent, and the caption area's lightness range, clear of icon and outline.
struct Caption {
  int left = 100, right = -1, lightest = 0, darkest = 255;
};
Caption CaptionOf(const QImage& face) {
  Caption c;
  for (int y = 8; y < 32; ++y) {
    for (int x = 36; x < 91; ++x) {
      const int l = face.pixelColor(x, y).lightness();
      c.lightest = std::max(c.lightest, l);
      c.darkest = std::min(c.darkest, l);
      if (l < 100) c.left = std::min(c.left, x), c.right = std::max(c.right, x);
    }
  }
  return c;
}

class CountingButton : public XPImageButton {
 public:
  using XPImageButton::XPImageButton;
  int paints = 0;
  void paintEvent(QPaintEvent* event) override {
    ++paints;
    XPImageButton::paintEvent(event);
  }
};

class ImageButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    button_ = new CountingButton(&window_);
    button_->setText(QStringLiteral("OK"));
    button_->setGeometry(10, 10, 100, 40);
    QPixmap icon(32, 32);
    icon.fill(kIconColour);
    SetupButton(*button_, QIcon(icon));
  }

  QImage Render() { return button_->grab().toImage().convertToFormat(QImage::Format_RGB32); }

  void ShowActive() {
    window_.show();
    QApplication::setActiveWindow(&window_);
    QApplication::processEvents();
  }

  int PaintsAfter() {  // since the last call
    QApplication::processEvents();
    return std::exchange(button_->paints, 0);
  }

  QWidget window_;
  CountingButton* button_ = nullptr;
};

// The icon 3 px from the left, centred in height, one pixel down-right while pressed; the face
// darker inside a rounded outline; the caption centred right of the icon (x = 35 to the edge).
TEST_F(ImageButtonTest, IconFaceOutlineAndCaptionReleasedPressedAndDisabled) {
  const Caption caption = CaptionOf(Render());
  ASSERT_GE(caption.right, caption.left) << "caption drawn";
  EXPECT_NEAR((caption.left + caption.right) / 2.0, 67.0, 3.0);
  for (int down : {1, 0}) {
    SCOPED_TRACE(down ? "pressed" : "released");
    button_->setDown(down);
    const QImage face = Render();
    const QPoint shift(down, down);
    for (QPoint p : {QPoint(3, 4), QPoint(34, 35)})
      EXPECT_EQ(face.pixelColor(p + shift), kIconColour) << p.x() << "," << p.y();
    for (QPoint p : {QPoint(2, 4), QPoint(3, 3), QPoint(35, 35)})
      EXPECT_NE(face.pixelColor(p + shift), kIconColour) << p.x() << "," << p.y();
    EXPECT_EQ(face.pixelColor(40, 36), down ? kButtonFacePressed : kButtonFace);
    for (QPoint p : {QPoint(50, 0), QPoint(50, 39), QPoint(0, 20), QPoint(99, 20)})
      EXPECT_EQ(face.pixelColor(p), QColor(Qt::black)) << p.x() << "," << p.y();
    for (QPoint p : {QPoint(0, 0), QPoint(1, 1)})
      EXPECT_NE(face.pixelColor(p), QColor(Qt::black)) << "rounded corner";
  }
  // Disabled: a grey icon, and the caption embossed (a light copy under grey text).
  button_->setEnabled(false);
  const QImage face = Render();
  const QColor icon = face.pixelColor(19, 20);
  EXPECT_LT(std::abs(icon.red() - icon.green()) + std::abs(icon.green() - icon.blue()), 40);
  const Caption disabled = CaptionOf(face);
  EXPECT_LE(caption.lightest, kButtonFace.lightness() + 5);
  EXPECT_GT(disabled.lightest, 200);
  EXPECT_GT(disabled.darkest, caption.darkest);
}

TEST_F(ImageButtonTest, PointerOverAFlatButtonRepaintsOnceOnEnterAndLeave) {
  ShowActive();
  PaintsAfter();
  QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
  QEvent leave(QEvent::Leave);
  const auto send = [&](QEvent& e) {
    QApplication::sendEvent(button_, &e);
    return std::pair(button_->hover(), PaintsAfter());
  };
  EXPECT_EQ(send(enter), std::pair(true, 1));
  EXPECT_EQ(send(enter), std::pair(true, 0)) << "already hovered";
  EXPECT_EQ(send(leave), std::pair(false, 1));
  button_->SetFlat(false);
  PaintsAfter();
  EXPECT_FALSE(send(enter).first) << "raised buttons do not track the pointer";
  button_->SetFlat(true);
  ASSERT_TRUE(send(enter).first);
  button_->setEnabled(false);
  EXPECT_FALSE(button_->hover()) << "disabling clears it";
}

// Dots alternate along the frame three pixels inside the edge.
TEST_F(ImageButtonTest, FocusRectangleIsDottedThreePixelsIn) {
  ShowActive();
  button_->setFocus();
  ASSERT_TRUE(button_->hasFocus());
  const QImage focused = Render();
  window_.setFocus();
  const QImage unfocused = Render();
  for (QPoint p : {QPoint(41, 3), QPoint(96, 20)})
    EXPECT_NE(focused.pixelColor(p), unfocused.pixelColor(p)) << p.x() << "," << p.y();
  for (QPoint p : {QPoint(40, 3), QPoint(40, 5)})
    EXPECT_EQ(focused.pixelColor(p), unfocused.pixelColor(p)) << p.x() << "," << p.y();
  button_->SetFlatFocus(false);
  button_->setFocus();
  EXPECT_EQ(Render(), unfocused) << "flat buttons show focus only when asked to";
}

}  // namespace
}  // namespace orvelle
