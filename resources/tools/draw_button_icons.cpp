// Draws the images of the calibration screen's OK (1006) and Cancel (1007)
// buttons into <folder>/<id>/<size>.png, the layout a language pack keeps
// icons in. Both packs use the same images.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

constexpr int kSizes[] = {16, 24, 32, 48};

void DrawDisc(QPainter& p, double size, const QColor& fill) {
  p.setPen(QPen(fill.darker(140), size / 32.0));
  p.setBrush(fill);
  const double inset = size / 16.0;
  p.drawEllipse(QRectF(inset, inset, size - 2 * inset, size - 2 * inset));
}

QImage Draw(int id, int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  QPen mark(Qt::white, s / 9.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  if (id == 1006) {
    DrawDisc(p, s, QColor(46, 160, 67));
    QPainterPath tick;
    tick.moveTo(s * 0.28, s * 0.52);
    tick.lineTo(s * 0.44, s * 0.68);
    tick.lineTo(s * 0.73, s * 0.35);
    p.setPen(mark);
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
  } else {
    DrawDisc(p, s, QColor(207, 34, 46));
    p.setPen(mark);
    p.drawLine(QPointF(s * 0.33, s * 0.33), QPointF(s * 0.67, s * 0.67));
    p.drawLine(QPointF(s * 0.67, s * 0.33), QPointF(s * 0.33, s * 0.67));
  }
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
  for (int id : {1006, 1007}) {
    const QString dir = folder.filePath(QString::number(id));
    if (!QDir().mkpath(dir)) return 1;
    for (int size : kSizes) {
      if (!Draw(id, size).save(QDir(dir).filePath(QStringLiteral("%1.png").arg(size)))) return 1;
    }
  }
  return 0;
}
