// Draws the console's four frame-orientation pictures (bitmaps 136..139) into
// <folder>/<id>.png: a display in its touch frame, with an arrow for the
// frame's top and the frame's cable, turned clockwise by 0, 90, 180 and 270
// degrees. Both packs use the same pictures; they hold no text.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

constexpr int kFirstId = 136;
constexpr int kWidth = 480;
constexpr int kHeight = 320;

// A point of the frame's edge, given as an offset from its centre in
// fractions of its size, turned clockwise by `quarters` quarter turns.
QPointF OnFrame(const QRectF& frame, QPointF offset, int quarters) {
  for (int q = 0; q < quarters; ++q)
    offset = QPointF(-offset.y(), offset.x());
  return frame.center() + QPointF(offset.x() * frame.width(), offset.y() * frame.height());
}

QImage Draw(int quarters) {
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);

  const QRectF frame(72, 46, 336, 212);
  const QRectF bezel = frame.adjusted(12, 12, -12, -12);
  const QRectF screen = bezel.adjusted(10, 10, -10, -10);

  // Stand, frame, bezel and screen.
  QPainterPath stand;
  stand.moveTo(212, frame.bottom());
  stand.lineTo(268, frame.bottom());
  stand.lineTo(290, 304);
  stand.lineTo(190, 304);
  stand.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x8a, 0x93, 0x9f));
  p.drawPath(stand);
  p.setPen(QPen(QColor(0x9a, 0xa3, 0xae), 2));
  p.setBrush(QColor(0xdd, 0xe1, 0xe7));
  p.drawRoundedRect(frame, 10, 10);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x23, 0x27, 0x2e));
  p.drawRoundedRect(bezel, 6, 6);
  QLinearGradient glow(screen.topLeft(), screen.bottomRight());
  glow.setColorAt(0, QColor(0x5b, 0xa4, 0xf5));
  glow.setColorAt(1, QColor(0x1f, 0x5f, 0xc4));
  p.setBrush(glow);
  p.drawRect(screen);

  // The frame's cable leaves at what is the lower edge of an unturned frame.
  const QPointF plug = OnFrame(frame, {0.28, 0.5}, quarters);
  const QPointF outward = OnFrame(frame, {0.28, 0.5 + 30.0 / frame.height()}, quarters) - plug;
  QPen cable(QColor(0xe0, 0x8a, 0x1e), 7, Qt::SolidLine, Qt::RoundCap);
  p.setPen(cable);
  p.drawLine(plug, plug + outward);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xc0, 0x6c, 0x0c));
  p.drawEllipse(plug, 9, 9);

  // The frame's top, as an arrow on the screen.
  p.save();
  p.translate(screen.center());
  p.rotate(90.0 * quarters);
  QPainterPath arrow;
  arrow.moveTo(0, -66);
  arrow.lineTo(40, -22);
  arrow.lineTo(14, -22);
  arrow.lineTo(14, 54);
  arrow.lineTo(-14, 54);
  arrow.lineTo(-14, -22);
  arrow.lineTo(-40, -22);
  arrow.closeSubpath();
  p.setPen(QPen(QColor(255, 255, 255, 90), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(QColor(255, 255, 255, 235));
  p.drawPath(arrow);
  p.restore();
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(folder.path())) return 1;
  for (int quarters = 0; quarters < 4; ++quarters) {
    const QString file = folder.filePath(QString::number(kFirstId + quarters) + ".png");
    if (!Draw(quarters).save(file)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
