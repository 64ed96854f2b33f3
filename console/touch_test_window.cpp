#include "console/touch_test_window.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTouchEvent>

#include "console/core/message_ids.h"
#include "shell/language_library.h"

namespace orvelle::console {
namespace {

constexpr int kCrossArm = 20;
constexpr int kDotRadius = 6;
const QColor kUntouchedColour(Qt::black);
const QColor kWithinColour(0, 140, 0);
const QColor kOffColour(200, 0, 0);
const QColor kDotColour(0, 90, 220);

QScreen* OrPrimary(QScreen* screen) {
  return screen ? screen : QGuiApplication::primaryScreen();
}

std::optional<TouchPoint> PhysicalSize(const QScreen* screen) {
  if (!screen) return std::nullopt;
  const QSizeF size = screen->physicalSize();
  return TouchPoint{size.width(), size.height()};
}

QSize Size(const QScreen* screen) {
  return screen ? screen->geometry().size() : QSize();
}

}  // namespace

TouchTestWindow::TouchTestWindow(QScreen* screen, std::function<void()> calibrateAgain,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      test_(Size(OrPrimary(screen)).width(), Size(OrPrimary(screen)).height(),
            PhysicalSize(OrPrimary(screen))),
      calibrateAgain_(std::move(calibrateAgain)),
      report_(new QLabel(LoadResourceString(kMsgTouchTestInstruction), this)),
      again_(new QPushButton(LoadResourceString(kMsgTouchTestCalibrateAgain), this)),
      close_(new QPushButton(LoadResourceString(kMsgTouchTestClose), this)) {
  setObjectName(QStringLiteral("TouchTestWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_AcceptTouchEvents);
  QPalette surface = palette();
  surface.setColor(QPalette::Window, Qt::white);
  setPalette(surface);
  setAutoFillBackground(true);

  report_->setAlignment(Qt::AlignCenter);
  report_->setWordWrap(true);
  again_->hide();
  connect(again_, &QPushButton::clicked, this, [this] {
    if (calibrateAgain_) calibrateAgain_();
  });
  connect(close_, &QPushButton::clicked, this, &QWidget::close);

  // Full screen goes to the window's screen, so the screen is set first.
  QScreen* target = OrPrimary(screen);
  if (target) {
    setScreen(target);
    setGeometry(target->geometry());
  }
  setWindowState(windowState() | Qt::WindowFullScreen);
}

void TouchTestWindow::TouchAt(QPointF at) {
  test_.Touch({at.x(), at.y()});
  ShowVerdict();
  update();
}

void TouchTestWindow::ShowVerdict() {
  const QString tolerance = QString::number(qRound(test_.TolerancePixels()));
  switch (test_.Verdict()) {
    case TouchVerdict::Incomplete:
      report_->setText(LoadResourceString(kMsgTouchTestInstruction));
      again_->hide();
      break;
    case TouchVerdict::Pass:
      report_->setText(LoadResourceString(kMsgTouchTestPassed).arg(tolerance));
      again_->hide();
      break;
    case TouchVerdict::Fail:
      report_->setText(LoadResourceString(kMsgTouchTestFailed).arg(tolerance));
      again_->show();
      break;
  }
  PlaceControls();
}

QString TouchTestWindow::CrossText(int cross) const {
  if (cross < 0 || cross >= kTouchTestCrosses) return {};
  const CrossResult& r = test_.Results()[cross];
  if (!r.touched) return {};
  const QString pixels = QString::number(r.pixels, 'f', 1);
  return r.millimetres ? LoadResourceString(kMsgTouchTestDistanceMm)
                             .arg(pixels, QString::number(*r.millimetres, 'f', 1))
                       : LoadResourceString(kMsgTouchTestDistance).arg(pixels);
}

// A touch that starts on a button is left to become the button's click.
// Points are placed by their screen position, which every way of delivery sets.
bool TouchTestWindow::event(QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::TouchBegin && type != QEvent::TouchUpdate && type != QEvent::TouchEnd)
    return QWidget::event(event);
  auto* touch = static_cast<QTouchEvent*>(event);
  if (type == QEvent::TouchBegin && !touch->points().isEmpty() &&
      childAt(mapFromGlobal(touch->points().constFirst().globalPosition()).toPoint())) {
    event->ignore();
    return false;
  }
  for (const QEventPoint& point : touch->points()) {
    if (point.state() == QEventPoint::Pressed) TouchAt(mapFromGlobal(point.globalPosition()));
  }
  event->accept();
  return true;
}

void TouchTestWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) TouchAt(event->position());
}

void TouchTestWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TouchTestWindow::resizeEvent(QResizeEvent*) {
  PlaceControls();
}

// The report and the buttons stand between the top crosses and the centre
// one; Close alone stands in the middle.
void TouchTestWindow::PlaceControls() {
  const int w = width(), y = height() / 4;
  report_->setGeometry(w / 8, y - 60, w - w / 4, 60);
  const QSize button(std::max(140, again_->sizeHint().width()), 40);
  const bool both = !again_->isHidden();
  again_->setGeometry(w / 2 - button.width() - 10, y + 10, button.width(), button.height());
  close_->setGeometry(both ? w / 2 + 10 : (w - button.width()) / 2, y + 10, button.width(),
                      button.height());
}

void TouchTestWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const double tolerance = test_.TolerancePixels();
  for (int c = 0; c < kTouchTestCrosses; ++c) {
    const TouchPoint at = test_.Crosses()[c];
    const CrossResult& r = test_.Results()[c];
    const QColor colour =
        !r.touched ? kUntouchedColour : (r.pixels > tolerance ? kOffColour : kWithinColour);
    painter.setPen(QPen(colour, 2));
    const QPointF centre(at.x, at.y);
    painter.drawLine(centre - QPointF(kCrossArm, 0), centre + QPointF(kCrossArm, 0));
    painter.drawLine(centre - QPointF(0, kCrossArm), centre + QPointF(0, kCrossArm));
    // The distance stands towards the middle of the screen, clear of the edges.
    const QString text = CrossText(c);
    if (text.isEmpty()) continue;
    const QRectF box(0, 0, 220, 24);
    const double x = at.x < width() / 2.0 ? at.x + kCrossArm : at.x - kCrossArm - box.width();
    const double y = at.y <= height() / 2.0 ? at.y + kCrossArm : at.y - kCrossArm - box.height();
    const Qt::Alignment align =
        (at.x < width() / 2.0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
    painter.drawText(box.translated(x, y), align, text);
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(kDotColour);
  for (const TouchPoint& dot : test_.RecentTouches())
    painter.drawEllipse(QPointF(dot.x, dot.y), kDotRadius, kDotRadius);
}

}  // namespace orvelle::console
