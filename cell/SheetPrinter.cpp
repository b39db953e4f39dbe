#include "cell/SheetPrinter.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <dlfcn.h>

#include <algorithm>

#include "cell/CellText.h"
#include "cell/CellError.h"
#include "cell/CellTexts.h"
#include "cell/PageSetup.h"
#include "cell/Sheet.h"
#include "cell/SheetPainter.h"

namespace cell {
namespace {

constexpr double kFooterHeight = page::kFooterMm * 10;  // layout units under the rows for the page texts
constexpr double kLineWidth = 2;  // 0.2 mm
constexpr double kLineRoom = 10;

// Why CUPS refused the job that Qt handed it at the end of the print; empty
// when it took the job or when nothing in the process uses CUPS. Qt's CUPS
// engine submits the job after the last page and does not look at the
// answer, so a queue that no longer accepts jobs would pass for a print. The
// answer is CUPS's status of its last request on this thread, the submission,
// read from the library Qt's print support has loaded (its two functions have
// kept their form since CUPS 1.2); the program does not link CUPS itself.
QString cupsRefusal() {
  void* cups = dlopen("libcups.so.2", RTLD_LAZY | RTLD_NOLOAD);
  if (!cups) return QString();
  const auto status = reinterpret_cast<int (*)()>(dlsym(cups, "cupsLastError"));
  const auto text = reinterpret_cast<const char* (*)()>(dlsym(cups, "cupsLastErrorString"));
  constexpr int kFirstIppError = 0x0400;  // IPP statuses below it are successes
  QString refusal;
  if (status && text && status() >= kFirstIppError) refusal = QString::fromUtf8(text());
  dlclose(cups);  // the reference RTLD_NOLOAD took
  return refusal;
}

}  // namespace

QString SheetPrinter::pageText(const QString& pattern, int page, int pages) {
  QString s = pattern;
  s.replace(QStringLiteral("&P"), QString::number(page));
  s.replace(QStringLiteral("&S"), QString::number(pages));
  return s;
}

std::vector<SheetPrinter::Page> SheetPrinter::paginate(double bodyHeight) const {
  const auto titles = sheet_.printTitleRows();
  std::vector<Page> pages(1);
  double used = 0;
  for (int r = 1; r < sheet_.rowCount(); ++r) {
    if (titles && r >= titles->first && r <= titles->second) continue;
    const double h = sheet_.rowHeight(r);
    if (!pages.back().rows.empty() && used + h > bodyHeight) {
      pages.emplace_back();
      used = 0;
    }
    pages.back().rows.push_back(r);
    used += h;
    // Only a row that starts a page can overflow it: the rest of it goes on
    // the next pages.
    for (double skip = 0; bodyHeight > 0 && used > bodyHeight;) {
      skip += bodyHeight;
      pages.push_back({{r}, skip});
      used = h - skip;
    }
  }
  return pages;
}

void SheetPrinter::printToDefault() const {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) throw TCellError(texts::kNoDefaultPrinter);
  QPrinter printer(info, QPrinter::HighResolution);
  print(printer);
}

void SheetPrinter::print(QPrinter& printer) const {
  printer.setFullPage(false);
  const double m = page::kMarginMm;
  printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(m, m, m, m),
                                    QPageLayout::Millimeter));
  if (!printer.isValid()) throw TCellError(texts::kPrinterNotReady.arg(printer.printerName()));

  QPainter painter;
  if (!painter.begin(&printer)) throw TCellError(texts::kPrinterNotReady.arg(printer.printerName()));

  // Layout units (0.1 mm) to device pixels, then the columns scaled to the page width.
  const QRectF paper = printer.pageLayout().paintRectPixels(printer.resolution());
  const double unit = printer.resolution() / 254.0;
  const double pageWidth = paper.width() / unit;
  const double pageHeight = paper.height() / unit;
  const double scale = pageWidth / std::max(sheet_.dataWidth(), 1);

  std::vector<int> titleRows;
  if (const auto titles = sheet_.printTitleRows())
    for (int r = titles->first; r <= titles->second; ++r) titleRows.push_back(r);
  const double titleHeight = rowsHeight(sheet_, titleRows);
  const double bodyHeight = (pageHeight - kFooterHeight) / scale - titleHeight;
  const std::vector<Page> pages = paginate(bodyHeight);
  const int count = static_cast<int>(pages.size());
  const PageTexts& texts = sheet_.pageTexts();

  for (int p = 0; p < count; ++p) {
    if (p > 0 && !printer.newPage()) {
      painter.end();
      throw TCellError(texts::kPrintAborted.arg(printer.printerName()));
    }
    const Page& page = pages[static_cast<std::size_t>(p)];
    painter.save();
    painter.scale(unit, unit);
    painter.save();
    // Rows stay above the band of the page texts, whatever their height; the
    // clips leave room for the lines' width at the edges.
    painter.setClipRect(QRectF(-kLineRoom, -kLineRoom, pageWidth + 2 * kLineRoom, pageHeight - kFooterHeight + kLineRoom));
    painter.scale(scale, scale);
    paintRows(painter, sheet_, titleRows, kLineWidth);
    painter.translate(0, titleHeight);
    painter.setClipRect(QRectF(-kLineRoom, 0, pageWidth / scale + 2 * kLineRoom, bodyHeight + kLineWidth / 2),
                        Qt::IntersectClip);
    painter.translate(0, -page.skip);
    paintRows(painter, sheet_, page.rows, 2);
    painter.restore();

    const QRectF foot(0, pageHeight - kFooterHeight, pageWidth, kFooterHeight);
    auto drawFoot = [&](const QString& pattern, HAlign h) {
      if (pattern.isEmpty()) return;
      const CellText text(pageText(pattern, p + 1, count), page::kPageTextPoints, TextStyle::Plain, foot.width());
      text.draw(painter, foot, h, VAlign::Centre);
    };
    painter.setPen(Qt::black);
    drawFoot(texts.left, HAlign::Left);
    drawFoot(texts.centre, HAlign::Centre);
    drawFoot(texts.right, HAlign::Right);
    painter.restore();
  }
  if (!painter.end() || printer.printerState() == QPrinter::Error)
    throw TCellError(texts::kPrintAborted.arg(printer.printerName()));
  const bool toQueue = printer.outputFormat() == QPrinter::NativeFormat && printer.outputFileName().isEmpty();
  if (const QString refusal = toQueue ? cupsRefusal() : QString(); !refusal.isEmpty())
    throw TCellError(texts::kPrintAborted.arg(printer.printerName()) + QLatin1Char('\n') + refusal);
}

}  // namespace cell
