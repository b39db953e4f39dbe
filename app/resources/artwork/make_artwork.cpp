// Draws the main window's banner: the banner art (936 x 112), its filler, its
// bottom edge strip and the five 88 x 88 command tiles, saved as JPEG files
// into the folder given as the one argument.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor kRedTop(0xd8, 0x1e, 0x1e);
const QColor kRedBottom(0xa8, 0x0c, 0x10);
const QColor kGold(0xff, 0xd8, 0x6a);
const QString kFont = QStringLiteral("WenQuanYi Micro Hei");

// The banner's red: a vertical gradient that the filler repeats, so that the
// art and the filler meet without a seam at any window width.
void paintRed(QPainter& p, const QRect& r) {
  QLinearGradient g(0, r.top(), 0, r.bottom());
  g.setColorAt(0, kRedTop);
  g.setColorAt(1, kRedBottom);
  p.fillRect(r, g);
}

bool save(const QImage& image, const QString& path) {
  QImageWriter w(path, "jpeg");
  w.setQuality(92);
  if (!w.write(image)) {
    std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(w.errorString()));
    return false;
  }
  return true;
}

QImage bannerArt() {
  QImage img(936, 112, QImage::Format_RGB32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  paintRed(p, img.rect());
  // Soft light behind the title.
  QRadialGradient glow(150, 40, 260);
  glow.setColorAt(0, QColor(255, 120, 80, 110));
  glow.setColorAt(1, QColor(255, 120, 80, 0));
  p.fillRect(img.rect(), glow);
  // Fine diagonal rays, fading out towards the command tiles.
  for (int i = 0; i < 26; ++i) {
    const double a = -0.15 + i * 0.06;
    QColor c(255, 210, 150, 18);
    p.setPen(QPen(c, 6));
    p.drawLine(QPointF(40, 120), QPointF(40 + 700 * std::cos(a), 120 - 700 * std::sin(a)));
  }
  QLinearGradient fade(420, 0, 640, 0);
  fade.setColorAt(0, QColor(0, 0, 0, 0));
  fade.setColorAt(1, QColor(0, 0, 0, 255));
  {
    // Repaint the right part in the plain red, blended in, so the tiles sit on calm ground.
    QImage plain(img.size(), QImage::Format_ARGB32_Premultiplied);
    plain.fill(Qt::transparent);
    QPainter q(&plain);
    paintRed(q, plain.rect());
    q.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    q.fillRect(plain.rect(), fade);
    q.end();
    p.drawImage(0, 0, plain);
  }
  // A five-pointed gold star as the emblem.
  QPainterPath star;
  const QPointF c(62, 52);
  for (int i = 0; i < 10; ++i) {
    const double r = (i % 2 == 0) ? 30 : 12;
    const double a = -M_PI / 2 + i * M_PI / 5;
    const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
    i == 0 ? star.moveTo(pt) : star.lineTo(pt);
  }
  star.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(kGold);
  p.drawPath(star);
  // Title and subtitle, with a dark shadow for depth.
  QFont title(kFont);
  title.setPixelSize(34);
  title.setBold(true);
  title.setLetterSpacing(QFont::AbsoluteSpacing, 2);
  const QString titleText = QStringLiteral("党内统计年报审核系统");
  p.setFont(title);
  p.setPen(QColor(90, 0, 0));
  p.drawText(QPoint(114, 58), titleText);
  p.setPen(kGold);
  p.drawText(QPoint(112, 56), titleText);
  QFont sub(kFont);
  sub.setPixelSize(15);
  sub.setLetterSpacing(QFont::AbsoluteSpacing, 1);
  p.setFont(sub);
  p.setPen(QColor(255, 236, 210));
  p.drawText(QPoint(114, 86), QStringLiteral("Brindlemark 单机版  ·  2016年度"));
  return img;
}

QImage filler() {
  QImage img(16, 112, QImage::Format_RGB32);
  QPainter p(&img);
  paintRed(p, img.rect());
  return img;
}

QImage edgeStrip() {
  QImage img(16, 9, QImage::Format_RGB32);
  QPainter p(&img);
  p.fillRect(0, 0, 16, 9, QColor(0x7a, 0x06, 0x0a));
  p.fillRect(0, 2, 16, 2, kGold);
  p.fillRect(0, 5, 16, 1, QColor(0xc8, 0x8a, 0x30));
  return img;
}

using IconPainter = std::function<void(QPainter&)>;

// A tile: a raised red square with a light rim, an icon drawn in white in a
// 40 x 40 box centred at (44, 34), and its label underneath.
QImage tile(const QString& label, const IconPainter& icon) {
  QImage img(88, 88, QImage::Format_RGB32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  paintRed(p, QRect(0, -24, 88, 112));  // the banner behind the tile's corners
  QLinearGradient face(0, 0, 0, 88);
  face.setColorAt(0, QColor(0xee, 0x3a, 0x30));
  face.setColorAt(1, QColor(0xb0, 0x10, 0x14));
  p.setBrush(face);
  p.setPen(QPen(QColor(255, 200, 170), 1.5));
  p.drawRoundedRect(QRectF(2.5, 2.5, 83, 83), 9, 9);
  p.setPen(QPen(QColor(120, 0, 0, 120), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(4.5, 4.5, 79, 79), 7, 7);
  p.save();
  p.translate(24, 14);
  p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  icon(p);
  p.restore();
  QFont f(kFont);
  f.setPixelSize(14);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRect(0, 58, 88, 22), Qt::AlignCenter, label);
  return img;
}

// Icons, in the 40 x 40 box.
void iconUnits(QPainter& p) {  // an organisation tree
  p.drawRect(QRectF(14, 1, 12, 10));
  p.drawRect(QRectF(1, 28, 12, 10));
  p.drawRect(QRectF(27, 28, 12, 10));
  p.drawLine(QPointF(20, 11), QPointF(20, 20));
  p.drawLine(QPointF(7, 20), QPointF(33, 20));
  p.drawLine(QPointF(7, 20), QPointF(7, 28));
  p.drawLine(QPointF(33, 20), QPointF(33, 28));
}

void iconCheck(QPainter& p) {  // a magnifier over a tick
  p.drawEllipse(QRectF(2, 2, 26, 26));
  p.drawLine(QPointF(24, 24), QPointF(37, 37));
  p.drawPolyline(QPolygonF({QPointF(9, 15), QPointF(14, 20), QPointF(22, 10)}));
}

void iconExport(QPainter& p) {  // a sheet with an arrow leaving it
  p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawRect(QRectF(1, 4, 24, 32));
  p.drawLine(QPointF(1, 14), QPointF(25, 14));
  p.drawLine(QPointF(1, 24), QPointF(25, 24));
  p.drawLine(QPointF(11, 4), QPointF(11, 36));
  p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(QPointF(20, 20), QPointF(38, 20));
  p.drawPolyline(QPolygonF({QPointF(31, 13), QPointF(38, 20), QPointF(31, 27)}));
}

void iconPrint(QPainter& p) {  // a printer
  p.drawRect(QRectF(10, 1, 20, 11));
  p.drawRoundedRect(QRectF(1, 12, 38, 16), 3, 3);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(10, 23, 20, 15));
  p.setPen(QPen(QColor(0xc0, 0x20, 0x20), 1.5));
  p.drawLine(QPointF(13, 29), QPointF(27, 29));
  p.drawLine(QPointF(13, 33), QPointF(27, 33));
}

void iconExit(QPainter& p) {  // a power symbol
  p.drawArc(QRectF(4, 5, 32, 32), 60 * 16, -300 * 16);
  p.drawLine(QPointF(20, 1), QPointF(20, 19));
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_artwork OUTPUT_DIR\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
  const struct {
    const char* name;
    QImage image;
  } pictures[] = {
      {"Image1.jpg", bannerArt()},
      {"img1.jpg", filler()},
      {"img2.jpg", edgeStrip()},
      {"imgCheckUnit.jpg", tile(QStringLiteral("选择单位"), iconUnits)},
      {"imgJH.jpg", tile(QStringLiteral("校核"), iconCheck)},
      {"imgExport.jpg", tile(QStringLiteral("导出Excel"), iconExport)},
      {"imgPrint.jpg", tile(QStringLiteral("打印"), iconPrint)},
      {"Image4.jpg", tile(QStringLiteral("退出"), iconExit)},
  };
  for (const auto& pic : pictures)
    if (!save(pic.image, dir + QLatin1String(pic.name))) return 1;
  return 0;
}
