// The JPEG decoder and the built-in banner pictures.
#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <random>

#include "app/Banner.h"
#include "app/Jpeg.h"

namespace {

// A JPEG of a known picture, written by Qt's own encoder (an independent writer).
QByteArray encode(const QImage& image, int quality = 95) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter w(&buffer, "jpeg");
  w.setQuality(quality);
  EXPECT_TRUE(w.write(image)) << w.errorString().toStdString();
  return bytes;
}

// Four solid quadrants: red, green, blue, white.
QImage quadrants(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, colours[(y >= h / 2) * 2 + (x >= w / 2)]);
  return img;
}

void expectNear(QRgb actual, QRgb expected, int tolerance, const char* where) {
  EXPECT_NEAR(qRed(actual), qRed(expected), tolerance) << where;
  EXPECT_NEAR(qGreen(actual), qGreen(expected), tolerance) << where;
  EXPECT_NEAR(qBlue(actual), qBlue(expected), tolerance) << where;
}

TEST(JpegDecode, ColourPictureKeepsSizeAndColours) {
  const QImage source = quadrants(64, 48);
  const QImage decoded = decodeJpeg(encode(source));
  ASSERT_FALSE(decoded.isNull());
  EXPECT_EQ(decoded.size(), QSize(64, 48));
  EXPECT_EQ(decoded.format(), QImage::Format_RGB888);
  expectNear(decoded.pixel(8, 8), qRgb(255, 0, 0), 12, "top left");
  expectNear(decoded.pixel(56, 8), qRgb(0, 255, 0), 12, "top right");
  expectNear(decoded.pixel(8, 40), qRgb(0, 0, 255), 12, "bottom left");
  expectNear(decoded.pixel(56, 40), qRgb(255, 255, 255), 12, "bottom right");
}

TEST(JpegDecode, OddSizesFillEveryRow) {
  // Widths whose RGB rows are not a multiple of four bytes, one-pixel pictures.
  for (const QSize size : {QSize(1, 1), QSize(7, 3), QSize(33, 17), QSize(1, 200)}) {
    QImage source(size, QImage::Format_RGB32);
    source.fill(qRgb(200, 40, 30));
    const QImage decoded = decodeJpeg(encode(source));
    ASSERT_EQ(decoded.size(), size);
    expectNear(decoded.pixel(size.width() - 1, size.height() - 1), qRgb(200, 40, 30), 12,
               "last pixel");
  }
}

TEST(JpegDecode, GreyPictureIsGreyscale) {
  QImage source(20, 10, QImage::Format_Grayscale8);
  source.fill(128);
  const QImage decoded = decodeJpeg(encode(source));
  ASSERT_FALSE(decoded.isNull());
  EXPECT_EQ(decoded.format(), QImage::Format_Grayscale8);
  EXPECT_NEAR(qGray(decoded.pixel(10, 5)), 128, 3);
}

TEST(JpegDecode, TruncatedDataGivesNullImage) {
  const QByteArray whole = encode(quadrants(64, 64));
  ASSERT_FALSE(decodeJpeg(whole).isNull());
  // Cut inside the markers, at the start of the scan, half way, just before the end.
  for (const qsizetype keep : {qsizetype(2), qsizetype(20), qsizetype(200), whole.size() / 2,
                               whole.size() - 2}) {
    EXPECT_TRUE(decodeJpeg(whole.left(keep)).isNull()) << "kept " << keep << " bytes";
  }
}

TEST(JpegDecode, GarbageGivesNullImage) {
  std::mt19937 rng(7);
  QByteArray random(4096, '\0');
  for (auto& b : random) b = static_cast<char>(rng());
  QByteArray png;
  {
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    quadrants(8, 8).save(&buffer, "PNG");
  }
  // A JPEG start marker followed by noise.
  QByteArray fakeStart = QByteArray("\xFF\xD8\xFF\xE0", 4) + random;
  // A real header with the scan data overwritten.
  QByteArray scrambled = encode(quadrants(64, 64));
  for (qsizetype i = scrambled.size() / 2; i < scrambled.size() - 2; ++i)
    scrambled[i] = static_cast<char>(rng());

  const struct {
    const char* what;
    QByteArray data;
  } cases[] = {{"empty", QByteArray()},
               {"one byte", QByteArray(1, '\xFF')},
               {"random bytes", random},
               {"a PNG file", png},
               {"start marker then noise", fakeStart},
               {"scan data overwritten", scrambled}};
  for (const auto& c : cases) EXPECT_TRUE(decodeJpeg(c.data).isNull()) << c.what;
}

TEST(JpegDecode, EveryTruncationOfASmallPictureIsSafe) {
  // No length may crash or leak (run under AddressSanitizer); only the whole
  // file decodes.
  const QByteArray whole = encode(quadrants(16, 16), 80);
  for (qsizetype n = 0; n < whole.size(); ++n) EXPECT_TRUE(decodeJpeg(whole.left(n)).isNull()) << n;
  EXPECT_FALSE(decodeJpeg(whole).isNull());
}

TEST(BannerPictures, BuiltInArtworkDecodesAtItsSizes) {
  const struct {
    const char* name;
    int width;  // 0: any
    int height;
  } pictures[] = {{"Image1", 936, 112},      {"img1", 0, 112},      {"img2", 0, 9},
                  {"imgCheckUnit", 88, 88}, {"imgJH", 88, 88},     {"imgExport", 88, 88},
                  {"imgPrint", 88, 88},     {"Image4", 88, 88}};
  for (const auto& p : pictures) {
    const QImage img = banner::picture(QString::fromLatin1(p.name));
    ASSERT_FALSE(img.isNull()) << p.name;
    if (p.width) {
      EXPECT_EQ(img.width(), p.width) << p.name;
    }
    EXPECT_EQ(img.height(), p.height) << p.name;
    // The banner is red: the picture's centre is mostly red.
    const QRgb c = img.pixel(img.width() / 2, img.height() / 2 < 3 ? 0 : 3);
    EXPECT_GT(qRed(c), qGreen(c)) << p.name;
  }
  EXPECT_TRUE(banner::picture(QStringLiteral("nothing")).isNull());
}

}  // namespace
