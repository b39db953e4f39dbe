#include "tests/support/PdfRows.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include <algorithm>

#include "tests/support/Tools.h"

namespace pdfrows {
namespace {

constexpr int kDpi = 100;
// A pixel darker than this is ink; a rule of a quarter point comes out grey.
constexpr int kInk = 200;
// A run of ink this share of the page's width long is a rule: text never
// draws one (the title is the longest text, and its strokes are short).
constexpr double kRuleShare = 0.4;

double attribute(const QXmlStreamReader& xml, const char* name) {
  return xml.attributes().value(QLatin1String(name)).toDouble();
}

// The words of each page, from pdftotext's XHTML.
std::vector<std::vector<Word>> words(const QString& pdf) {
  const QString html =
      tools::run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox-layout"), pdf, QStringLiteral("-")});
  std::vector<std::vector<Word>> pages;
  QXmlStreamReader xml(html);
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (xml.name() == QLatin1String("page")) {
      pages.emplace_back();
    } else if (xml.name() == QLatin1String("word") && !pages.empty()) {
      Word w{attribute(xml, "xMin"), attribute(xml, "yMin"), attribute(xml, "xMax"), attribute(xml, "yMax"), {}};
      w.text = xml.readElementText();
      pages.back().push_back(w);
    }
  }
  return pages;
}

// The rules across one page's raster, in points.
std::vector<double> rules(const QImage& page) {
  const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
  std::vector<double> out;
  int first = -1;  // first pixel row of the rule being passed
  for (int y = 0; y <= grey.height(); ++y) {
    bool rule = false;
    if (y < grey.height()) {
      const uchar* line = grey.constScanLine(y);
      int run = 0, longest = 0;
      for (int x = 0; x < grey.width(); ++x) {
        run = line[x] < kInk ? run + 1 : 0;
        longest = std::max(longest, run);
      }
      rule = longest >= kRuleShare * grey.width();
    }
    if (rule && first < 0) first = y;
    if (!rule && first >= 0) {
      out.push_back((first + y) / 2.0 * 72.0 / kDpi);  // the middle of its pixel rows
      first = -1;
    }
  }
  return out;
}

QString sortedCharacters(const QString& text) {
  QString s = text.normalized(QString::NormalizationForm_KC);
  s.removeIf([](QChar c) { return c.isSpace(); });
  std::sort(s.begin(), s.end());
  return s;
}

}  // namespace

QString unavailable() {
  for (const char* program : {"pdftotext", "pdftoppm"})
    if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
      return QStringLiteral("%1 (poppler-utils) is not installed").arg(QLatin1String(program));
  return QString();
}

std::vector<Page> read(const QString& pdf, const QString& workDir) {
  const std::vector<std::vector<Word>> text = words(pdf);
  QDir dir(workDir);
  dir.mkpath(QStringLiteral("."));
  const QString prefix = dir.filePath(QStringLiteral("page"));
  tools::run(QStringLiteral("pdftoppm"), {QStringLiteral("-gray"), QStringLiteral("-r"), QString::number(kDpi), pdf, prefix});
  // pdftoppm numbers the pages with as many digits as the last one needs.
  const QStringList rasters = dir.entryList({QStringLiteral("page-*.pgm")}, QDir::Files, QDir::Name);
  if (rasters.size() != static_cast<qsizetype>(text.size())) return {};
  std::vector<Page> pages(text.size());
  for (std::size_t p = 0; p < pages.size(); ++p) {
    pages[p].words = text[p];
    pages[p].rules = rules(QImage(dir.filePath(rasters[static_cast<qsizetype>(p)])));
  }
  return pages;
}

QStringList overflows(const std::vector<Page>& pages, const QString& header, const QStringList& rows,
                      double tolerance) {
  QStringList faults;
  const QString headerChars = sortedCharacters(header);
  qsizetype next = 0;  // the row the next band should hold
  for (std::size_t p = 0; p < pages.size(); ++p) {
    const Page& page = pages[p];
    const auto pageName = QStringLiteral("page %1").arg(p + 1);
    if (page.rules.size() < 2) {
      faults << pageName + QStringLiteral(": no rows between rules");
      continue;
    }
    const std::size_t bands = page.rules.size() - 1;
    std::vector<std::vector<const Word*>> in(bands);
    for (const Word& w : page.words) {
      const double middle = (w.yMin + w.yMax) / 2;
      if (middle <= page.rules.front() || middle >= page.rules.back()) continue;  // title, page text
      const auto above = std::upper_bound(page.rules.begin(), page.rules.end(), middle);
      in[static_cast<std::size_t>(above - page.rules.begin()) - 1].push_back(&w);
    }
    for (std::size_t b = 0; b < bands; ++b) {
      const double top = page.rules[b];
      const double bottom = page.rules[b + 1];
      std::sort(in[b].begin(), in[b].end(),
                [](const Word* l, const Word* r) { return std::pair(l->yMin, l->xMin) < std::pair(r->yMin, r->xMin); });
      QString shown;
      for (const Word* w : in[b]) {
        shown += w->text;
        if (w->yMin < top - tolerance || w->yMax > bottom + tolerance)
          faults << QStringLiteral("%1, band %2 [%3, %4]: \"%5\" reaches [%6, %7]")
                        .arg(pageName)
                        .arg(b + 1)
                        .arg(top, 0, 'f', 1)
                        .arg(bottom, 0, 'f', 1)
                        .arg(w->text)
                        .arg(w->yMin, 0, 'f', 1)
                        .arg(w->yMax, 0, 'f', 1);
      }
      // The header row heads every page.
      const bool isHeader = b == 0;
      const QString expected = isHeader ? header : next < rows.size() ? rows[next] : QString();
      if (sortedCharacters(shown) != (isHeader ? headerChars : sortedCharacters(expected)))
        faults << QStringLiteral("%1, band %2: holds \"%3\", its row \"%4\"").arg(pageName).arg(b + 1).arg(shown, expected);
      if (!isHeader) ++next;
    }
  }
  if (faults.isEmpty() && next != rows.size())
    faults << QStringLiteral("%1 bands of rows for %2 rows").arg(next).arg(rows.size());
  return faults;
}

}  // namespace pdfrows
