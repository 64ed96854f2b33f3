#include "calibration/xp_image_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QPixmap>
#include <algorithm>
#include <utility>

#include "calibration/screen_colours.h"
#include "calibration/screen_setup.h"

namespace orvelle {
namespace {

const QColor kIconColour{0, 200, 0};

QIcon SolidIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(kIconColour);
  return QIcon(pixmap);
}

// Lightest and darkest pixel of the caption area, clear of the icon and the
// rounded outline.
std::pair<int, int> CaptionLightness(const QImage& face) {
  int lightest = 0, darkest = 255;
  for (int y = 8; y < 32; ++y) {
    for (int x = 36; x < 91; ++x) {
      lightest = std::max(lightest, face.pixelColor(x, y).lightness());
      darkest = std::min(darkest, face.pixelColor(x, y).lightness());
    }
  }
  return {lightest, darkest};
}

class CountingButton : public XPImageButton {
 public:
  using XPImageButton::XPImageButton;
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent* event) override {
    ++paints;
    XPImageButton::paintEvent(event);
  }
};

// A calibration-screen button: 100 x 40, 32 x 32 icon, caption.
class ImageButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.resize(300, 200);
    button_ = new CountingButton(&window_);
    button_->setText(QStringLiteral("OK"));
    button_->setGeometry(10, 10, 100, 40);
    SetupButton(*button_, SolidIcon());
  }

  QImage Render() { return button_->grab().toImage().convertToFormat(QImage::Format_RGB32); }

  void ShowActive() {
    window_.show();
    QApplication::setActiveWindow(&window_);
    QApplication::processEvents();
  }

  int PaintsAfter() {
    const int before = button_->paints;
    QApplication::processEvents();
    return button_->paints - before;
  }

  QWidget window_;
  CountingButton* button_ = nullptr;
};

// The icon stands 3 px from the left, centred in height, and moves by one
// pixel while pressed; the face darkens inside a rounded black outline.
TEST_F(ImageButtonTest, IconFaceAndOutlineReleasedAndPressed) {
  for (int down : {0, 1}) {
    button_->setDown(down);
    const QImage face = Render();
    EXPECT_EQ(face.pixelColor(3 + down, 4 + down), kIconColour);
    EXPECT_EQ(face.pixelColor(34 + down, 35 + down), kIconColour);
    EXPECT_NE(face.pixelColor(2 + down, 4 + down), kIconColour);
    EXPECT_NE(face.pixelColor(3 + down, 3 + down), kIconColour);
    EXPECT_NE(face.pixelColor(35 + down, 35 + down), kIconColour);
    EXPECT_EQ(face.pixelColor(40, 36), down ? kButtonFacePressed : kButtonFace);
    EXPECT_EQ(face.pixelColor(50, 0), QColor(Qt::black));
    EXPECT_EQ(face.pixelColor(50, 39), QColor(Qt::black));
    EXPECT_EQ(face.pixelColor(0, 20), QColor(Qt::black));
    EXPECT_EQ(face.pixelColor(99, 20), QColor(Qt::black));
    EXPECT_NE(face.pixelColor(0, 0), QColor(Qt::black)) << "rounded corner";
    EXPECT_NE(face.pixelColor(1, 1), QColor(Qt::black));
  }
}

TEST_F(ImageButtonTest, CaptionIsCentredRightOfTheIcon) {
  const QImage face = Render();
  int left = 100, right = -1;
  for (int y = 8; y < 32; ++y) {
    for (int x = 36; x < 91; ++x) {
      if (face.pixelColor(x, y).lightness() < 100) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
  }
  ASSERT_GE(right, left) << "caption drawn";
  // The caption area runs from x = 35 to the right edge; its middle is 67.
  EXPECT_NEAR((left + right) / 2.0, 67.0, 3.0);
}

TEST_F(ImageButtonTest, PointerOverAFlatButtonRepaintsOnceOnEnterAndLeave) {
  ShowActive();
  PaintsAfter();
  QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
  QApplication::sendEvent(button_, &enter);
  EXPECT_TRUE(button_->hover());
  EXPECT_EQ(PaintsAfter(), 1);
  QApplication::sendEvent(button_, &enter);
  EXPECT_EQ(PaintsAfter(), 0) << "already hovered";
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(button_, &leave);
  EXPECT_FALSE(button_->hover());
  EXPECT_EQ(PaintsAfter(), 1);

  button_->SetFlat(false);
  PaintsAfter();
  QApplication::sendEvent(button_, &enter);
  EXPECT_FALSE(button_->hover()) << "raised buttons do not track the pointer";

  button_->SetFlat(true);
  QApplication::sendEvent(button_, &enter);
  ASSERT_TRUE(button_->hover());
  button_->setEnabled(false);
  EXPECT_FALSE(button_->hover()) << "disabling clears it";
}

TEST_F(ImageButtonTest, DisabledButtonGreysItsIconAndEmbossesItsCaption) {
  const QImage enabledFace = Render();
  button_->setEnabled(false);
  const QImage face = Render();
  const QColor icon = face.pixelColor(19, 20);
  EXPECT_NE(icon, kIconColour);
  EXPECT_LT(std::abs(icon.red() - icon.green()) + std::abs(icon.green() - icon.blue()), 40)
      << "greyed";
  // Embossed: a light copy one pixel down and right under grey text, where
  // the enabled caption is dark text on the face only.
  const auto [enabledLightest, enabledDarkest] = CaptionLightness(enabledFace);
  const auto [lightest, darkest] = CaptionLightness(face);
  EXPECT_LT(enabledDarkest, 100);
  EXPECT_LE(enabledLightest, kButtonFace.lightness() + 5);
  EXPECT_GT(lightest, 200);
  EXPECT_GT(darkest, enabledDarkest);
}

TEST_F(ImageButtonTest, FocusRectangleIsDottedThreePixelsIn) {
  ShowActive();
  button_->setFocus();
  ASSERT_TRUE(button_->hasFocus());
  const QImage focused = Render();
  window_.setFocus();
  const QImage unfocused = Render();
  // Dots alternate along the frame three pixels inside the edge.
  EXPECT_NE(focused.pixelColor(41, 3), unfocused.pixelColor(41, 3));
  EXPECT_EQ(focused.pixelColor(40, 3), unfocused.pixelColor(40, 3));
  EXPECT_NE(focused.pixelColor(96, 20), unfocused.pixelColor(96, 20));
  EXPECT_EQ(focused.pixelColor(40, 5), unfocused.pixelColor(40, 5));

  button_->SetFlatFocus(false);
  button_->setFocus();
  EXPECT_EQ(Render(), unfocused) << "flat buttons show focus only when asked to";
}

}  // namespace
}  // namespace orvelle
