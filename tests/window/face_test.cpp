// One face for 宋体 throughout: the register draws its texts, on screen and
// in print, in the face the chooser shows its organisations in.
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <QPrinter>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "app/ProblemRegister.h"
#include "app/Texts.h"
#include "cell/CellText.h"
#include "cell/Sheet.h"
#include "cell/SheetView.h"
#include "cell/TCell.h"
#include "chooser/UFastTree.h"
#include "chooser/uChoosePartyOrg.h"
#include "platform/fonts.h"
#include "tests/support/Tools.h"

namespace {

constexpr float kTitlePoints = 20.0f;  // the register's title

// The part of a picture that holds ink (pixels darker than mid grey), as a
// black-on-white mask.
QImage ink(const QImage& picture) {
  const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
  int left = grey.width(), top = grey.height(), right = -1, bottom = -1;
  for (int y = 0; y < grey.height(); ++y)
    for (int x = 0; x < grey.width(); ++x)
      if (grey.constScanLine(y)[x] < 128) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  if (right < 0) return {};
  QImage mask(right - left + 1, bottom - top + 1, QImage::Format_Grayscale8);
  for (int y = 0; y < mask.height(); ++y)
    for (int x = 0; x < mask.width(); ++x)
      mask.scanLine(y)[x] = grey.constScanLine(top + y)[left + x] < 128 ? 0 : 255;
  return mask;
}

// How far apart two masks are: the share of inked pixels that only one of
// them inks, with their top left corners laid on each other; 1 when their
// sizes differ by more than two pixels.
double difference(const QImage& a, const QImage& b) {
  if (a.isNull() || b.isNull()) return 1;
  if (std::abs(a.width() - b.width()) > 2 || std::abs(a.height() - b.height()) > 2) return 1;
  int either = 0, one = 0;
  for (int y = 0; y < std::max(a.height(), b.height()); ++y)
    for (int x = 0; x < std::max(a.width(), b.width()); ++x) {
      const bool inA = x < a.width() && y < a.height() && a.constScanLine(y)[x] == 0;
      const bool inB = x < b.width() && y < b.height() && b.constScanLine(y)[x] == 0;
      either += inA || inB;
      one += inA != inB;
    }
  return either ? static_cast<double>(one) / either : 1;
}

// The text in a family as the sheet's view would draw it there: layout units
// scaled to the screen, the cell font's size and hinting.
QImage drawnIn(const QString& family, const QString& text, QSize size, double scale) {
  QImage picture(size, QImage::Format_RGB32);
  picture.fill(Qt::white);
  QPainter p(&picture);
  p.scale(scale, scale);
  QFont f = cell::cellFont(kTitlePoints);
  f.setFamilies({family});
  p.setFont(f);
  p.setPen(Qt::black);
  p.drawText(QRectF(0, 0, size.width() / scale, size.height() / scale), Qt::AlignCenter, text);
  return picture;
}

class SongFace : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!QFontDatabase::families().contains(QString::fromUtf8(platform::kSongSubstitute)))
      GTEST_SKIP() << platform::kSongSubstitute << " (fonts-arphic-uming) is not installed";
    problem_register::layOut(sheet);
    chooserFamily = QFontInfo(chooser.tree().font()).family();
  }

  TCell sheet;
  TfrmChoosePartyOrg chooser;
  QString chooserFamily;
};

TEST_F(SongFace, SheetAndChooserResolveTheSameFamily) {
  EXPECT_EQ(chooserFamily, QString::fromUtf8(platform::kSongSubstitute));
  for (float points : {10.0f, 12.0f, kTitlePoints})
    EXPECT_EQ(QFontInfo(cell::cellFont(points)).family(), chooserFamily) << points << " pt";
}

// The title as the view shows it looks like the title drawn in the chooser's
// face, and unlike it drawn in a sans face: the comparison tells faces apart.
TEST_F(SongFace, TheViewDrawsTheTitleInTheChoosersFace) {
  sheet.resize(1000, 400);
  sheet.show();
  QApplication::processEvents();
  auto* view = sheet.findChild<cell::SheetView*>();
  ASSERT_NE(view, nullptr);
  // Inside the cell's lines: the picture holds the text alone.
  const QRect title = view->cellRect(1, 1).adjusted(2, 2, -2, -2);
  ASSERT_FALSE(title.isEmpty());
  const QImage shown = ink(view->viewport()->grab(title).toImage());
  ASSERT_FALSE(shown.isNull()) << "the title is drawn";

  const double scale = view->logicalDpiX() / 254.0;
  const QImage song = ink(drawnIn(chooserFamily, texts::kRegisterTitle, title.size(), scale));
  const QImage sans = ink(drawnIn(QStringLiteral("WenQuanYi Micro Hei"), texts::kRegisterTitle, title.size(), scale));
  EXPECT_LT(difference(shown, song), 0.1);
  if (QFontInfo(QFont(QStringLiteral("WenQuanYi Micro Hei"))).family() != chooserFamily) {
    EXPECT_GT(difference(shown, sans), 0.3);
  }
}

// The fonts a PDF embeds, by name (pdffonts: two header lines, then one line
// a font, its name first).
std::set<QString> embedded(const QString& pdf) {
  std::set<QString> names;
  for (const QString& line : tools::run(QStringLiteral("pdffonts"), {pdf}).split(u'\n', Qt::SkipEmptyParts).mid(2))
    names.insert(line.section(u' ', 0, 0).section(u'+', -1));  // without the subset's tag
  return names;
}

QString pdfFile(const QTemporaryDir& dir, const char* name, const std::function<void(QPrinter&)>& print) {
  const QString pdf = dir.filePath(QString::fromLatin1(name));
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  print(printer);
  return pdf;
}

// Printed, the register embeds the face that the chooser's texts print in,
// and no other.
TEST_F(SongFace, ThePrintEmbedsTheChoosersFace) {
  if (QStandardPaths::findExecutable(QStringLiteral("pdffonts")).isEmpty())
    GTEST_SKIP() << "pdffonts (poppler-utils) is not installed";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  problem_register::fill(sheet, [n = 0](problem_register::ProblemRow& row) mutable {
    row = {QStringLiteral("第1表"), QStringLiteral("东川市委 若A19>0, 则 (B19+C19+D19)/A19 = 60.14%"),
           QStringLiteral("比重大的要审核")};
    return n++ < 3;
  });
  const QString sheetPdf = pdfFile(dir, "register.pdf", [&](QPrinter& p) { sheet.printTo(p); });
  const QString chooserPdf = pdfFile(dir, "chooser.pdf", [&](QPrinter& p) {
    QPainter painter(&p);
    painter.setFont(chooser.tree().font());
    painter.drawText(QPointF(100, 100), texts::kRegisterTitle + QStringLiteral("第1表 A19>0"));
  });
  const std::set<QString> chooserFaces = embedded(chooserPdf);
  ASSERT_EQ(chooserFaces.size(), 1u);
  EXPECT_EQ(embedded(sheetPdf), chooserFaces);
}

}  // namespace
