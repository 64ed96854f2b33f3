// Draws the application icon (icon 128 of the language packs) at every size
// the desktop asks for, each size drawn on its own pixel grid so that even
// 16 px stays crisp: a touch frame (dark bezel with its infrared emitters and
// receivers) around a screen; the console's shows a fingertip touching it, the
// calibration program's a calibration target.
//
//   orvelle-draw-app-icon <console|calibration> <output folder>
// writes <output folder>/<size>.png for each size, and app.ico holding them
// all for Windows' programs (an icon file whose images are PNG, as Windows
// reads since Vista).

#include <QColor>
#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr int kSizes[] = {16, 20, 24, 32, 40, 48, 64, 128, 256};

const QColor kBezel(0x26, 0x35, 0x44);
const QColor kBezelEdge(0x3A, 0x4D, 0x60);
const QColor kEmitter(0xFF, 0x6B, 0x5E);
const QColor kReceiver(0x6F, 0x82, 0x95);
const QColor kMagenta(0xFF, 0x00, 0xFF);

struct Layout {
  int size;
  QRect frame;   // outer edge of the bezel
  QRect screen;  // inside the bezel
  int bezel;
};

Layout MakeLayout(int size) {
  const int margin = std::max(1, static_cast<int>(std::lround(size / 16.0)));
  const int bezel = std::max(2, static_cast<int>(std::lround(size * 0.11)));
  QRect frame(margin, margin, size - 2 * margin, size - 2 * margin);
  return {size, frame, frame.adjusted(bezel, bezel, -bezel, -bezel), bezel};
}

void DrawFrame(QPainter& p, const Layout& l, bool calibration) {
  const double radius = std::max(1.5, l.size * 0.1);
  p.setPen(Qt::NoPen);
  p.setBrush(kBezel);
  p.drawRoundedRect(QRectF(l.frame), radius, radius);
  if (l.size >= 48) {
    // A lighter rim reads as the frame's edge at large sizes.
    p.setPen(QPen(kBezelEdge, l.size / 64.0));
    p.setBrush(Qt::NoBrush);
    const double half = l.size / 128.0;
    p.drawRoundedRect(QRectF(l.frame).adjusted(half, half, -half, -half), radius, radius);
  }
  QLinearGradient glass(l.screen.topLeft(), l.screen.bottomRight());
  if (calibration) {
    glass.setColorAt(0, QColor(0xF4, 0xF4, 0xF4));
    glass.setColorAt(1, QColor(0xD2, 0xD2, 0xD2));
  } else {
    glass.setColorAt(0, QColor(0x58, 0xA8, 0xF5));
    glass.setColorAt(1, QColor(0x1F, 0x5C, 0xB0));
  }
  p.setPen(Qt::NoPen);
  p.setBrush(glass);
  p.drawRect(l.screen);
}

// The frame's infrared emitters (top and left) and receivers (bottom, right).
void DrawEmitters(QPainter& p, const Layout& l) {
  if (l.size < 48) return;
  const int count = l.size >= 128 ? 7 : 4;
  const double r = l.size * 0.014;
  const double mid = l.bezel / 2.0;
  p.setPen(Qt::NoPen);
  for (int i = 0; i < count; ++i) {
    const double t = (i + 0.5) / count;
    const double x = l.screen.left() + t * l.screen.width();
    const double y = l.screen.top() + t * l.screen.height();
    p.setBrush(kEmitter);
    p.drawEllipse(QPointF(x, l.frame.top() + mid), r, r);
    p.drawEllipse(QPointF(l.frame.left() + mid, y), r, r);
    p.setBrush(kReceiver);
    p.drawEllipse(QPointF(x, l.frame.bottom() + 1 - mid), r, r);
    p.drawEllipse(QPointF(l.frame.right() + 1 - mid, y), r, r);
  }
}

void DrawTouch(QPainter& p, const Layout& l) {
  const QRectF s(l.screen);
  const QPointF tip(s.left() + s.width() * 0.42, s.top() + s.height() * 0.42);
  const double dot = std::max(1.2, s.width() * 0.09);
  const double line = std::max(1.0, l.size / 40.0);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 255, 255, 210), line));
  p.drawEllipse(tip, dot * 2.1, dot * 2.1);
  if (l.size >= 32) {
    p.setPen(QPen(QColor(255, 255, 255, 110), line));
    p.drawEllipse(tip, dot * 3.2, dot * 3.2);
  }
  if (l.size < 40) {
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(tip, dot, dot);
    return;
  }
  // A fingertip coming from the lower right, its pad on the touch point.
  const double width = s.width() * 0.24;
  const double length = l.size;
  QPainterPath finger;
  finger.addRoundedRect(QRectF(-width / 2, -width / 2, width, length), width / 2, width / 2);
  QPainterPath nail;
  nail.addRoundedRect(QRectF(-width * 0.3, -width * 0.2, width * 0.6, width * 0.7), width * 0.25,
                      width * 0.25);
  QTransform place;
  place.translate(tip.x(), tip.y());
  place.rotate(-38);
  p.setPen(QPen(QColor(0x8A, 0x55, 0x36), std::max(1.0, l.size / 80.0)));
  p.setBrush(QColor(0xF6, 0xCB, 0xA8));
  p.drawPath(place.map(finger));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xFC, 0xE6, 0xD6));
  p.drawPath(place.map(nail));
}

// The calibration target: a cross-hair framed by four corner marks, as the
// calibration screen draws its active target.
void DrawTarget(QPainter& p, const Layout& l) {
  const QRect s = l.screen;
  const int line = std::max(1, static_cast<int>(std::lround(l.size / 32.0)));
  const int cx = s.left() + (s.width() - line) / 2;
  const int cy = s.top() + (s.height() - line) / 2;
  const int arm = s.width() * 3 / 8;
  p.setPen(Qt::NoPen);
  p.setBrush(kMagenta);
  p.drawRect(cx - arm, cy, 2 * arm + line, line);
  p.drawRect(cx, cy - arm, line, 2 * arm + line);
  if (l.size < 32) return;
  const int box = s.width() * 5 / 16;
  const int mark = std::max(2, box / 2);
  for (int sx : {-1, 1}) {
    for (int sy : {-1, 1}) {
      const int x = sx < 0 ? cx - box : cx + box + line - mark;
      const int y = sy < 0 ? cy - box : cy + box;
      p.drawRect(x, y, mark, line);
      const int vy = sy < 0 ? cy - box : cy + box + line - mark;
      p.drawRect(sx < 0 ? cx - box : cx + box, vy, line, mark);
    }
  }
}

QImage DrawIcon(int size, bool calibration) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const Layout l = MakeLayout(size);
  DrawFrame(p, l, calibration);
  DrawEmitters(p, l);
  p.setClipRect(calibration ? l.screen : l.frame);
  if (calibration) {
    p.setRenderHint(QPainter::Antialiasing, false);  // straight lines on whole pixels
    DrawTarget(p, l);
  } else {
    DrawTouch(p, l);
  }
  return image;
}

}  // namespace

void PutLittleEndian(QByteArray& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// ICONDIR, one ICONDIRENTRY per image (a width or height of 256 is written
// as 0), then the images.
QByteArray IconFile(const std::vector<std::pair<int, QByteArray>>& images) {
  constexpr uint32_t kHeader = 6, kEntry = 16;
  QByteArray out;
  PutLittleEndian(out, 0, 2);
  PutLittleEndian(out, 1, 2);
  PutLittleEndian(out, static_cast<uint32_t>(images.size()), 2);
  uint32_t offset = kHeader + kEntry * static_cast<uint32_t>(images.size());
  for (const auto& [size, png] : images) {
    PutLittleEndian(out, size >= 256 ? 0 : static_cast<uint32_t>(size), 1);
    PutLittleEndian(out, size >= 256 ? 0 : static_cast<uint32_t>(size), 1);
    PutLittleEndian(out, 0, 2);   // no palette
    PutLittleEndian(out, 1, 2);   // planes
    PutLittleEndian(out, 32, 2);  // bits per pixel
    PutLittleEndian(out, static_cast<uint32_t>(png.size()), 4);
    PutLittleEndian(out, offset, 4);
    offset += static_cast<uint32_t>(png.size());
  }
  for (const auto& image : images) out.append(image.second);
  return out;
}

int main(int argc, char** argv) {
  if (argc != 3 ||
      (std::strcmp(argv[1], "console") != 0 && std::strcmp(argv[1], "calibration") != 0)) {
    std::fprintf(stderr, "usage: %s <console|calibration> <output folder>\n", argv[0]);
    return 2;
  }
  const bool calibration = std::strcmp(argv[1], "calibration") == 0;
  const QDir out(QString::fromLocal8Bit(argv[2]));
  if (!out.mkpath(".")) {
    std::fprintf(stderr, "cannot create %s\n", argv[2]);
    return 1;
  }
  std::vector<std::pair<int, QByteArray>> images;
  for (int size : kSizes) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    DrawIcon(size, calibration).save(&buffer, "PNG");
    QFile file(out.filePath(QString::number(size) + ".png"));
    if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size()) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
      return 1;
    }
    images.emplace_back(size, png);
  }
  QFile ico(out.filePath("app.ico"));
  const QByteArray icon = IconFile(images);
  if (!ico.open(QIODevice::WriteOnly) || ico.write(icon) != icon.size()) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(ico.fileName()));
    return 1;
  }
  return 0;
}
