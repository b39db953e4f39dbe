// Printing: pages, title rows, page texts; failures raise.
#include <gtest/gtest.h>

#include <QFile>
#include <QPrinter>
#include <QRegularExpression>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <optional>
#include <set>

#include "cell/Sheet.h"
#include "cell/SheetPrinter.h"
#include "cell/TCell.h"
#include "tests/cell/Register.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PrivateCups.h"
#include "tests/support/Tools.h"

using tools::pdfPages;

TEST(SheetPrint, ThreePagesEachWithTitleRowsAndPageNumber) {
  if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) GTEST_SKIP() << "poppler-utils missing";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const int problems = 62;  // the middle of the counts that take three pages
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(problems));
  const QString pdf = dir.filePath(QStringLiteral("register.pdf"));
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  c.printTo(printer);

  ASSERT_EQ(pdfPages(pdf), 3);
  std::multiset<QString> seen;
  for (int page = 1; page <= 3; ++page) {
    const QString text = tools::pdfPageText(pdf, page);
    EXPECT_TRUE(text.contains(celltest::kTitle)) << page;
    for (const char* header : {"表号", "问题描述", "类别", "回复情况"})
      EXPECT_TRUE(text.contains(QString::fromUtf8(header))) << page << header;
    EXPECT_TRUE(text.contains(QStringLiteral("第%1页/共3页").arg(page))) << page;
    for (int i = 1; i <= problems; ++i)
      if (text.contains(QStringLiteral("第%1项：").arg(i))) seen.insert(QString::number(i));
  }
  // Every problem is printed exactly once; the signature ends the last page.
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(problems));
  EXPECT_EQ(std::set<QString>(seen.begin(), seen.end()).size(), static_cast<std::size_t>(problems));
  EXPECT_TRUE(tools::pdfPageText(pdf, 3).contains(QStringLiteral("审核人签名：")));
  EXPECT_FALSE(tools::pdfPageText(pdf, 2).contains(QStringLiteral("审核人签名：")));
}

TEST(SheetPrint, PageTextsReplacePageNumberAndCount) {
  struct Case {
    const char16_t* pattern;
    int page, pages;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"第&P页/共&S页", 2, 3, u"第2页/共3页"},
      {u"&P/&S &P", 10, 12, u"10/12 10"},
      {u"", 1, 1, u""},
      {u"no fields", 1, 1, u"no fields"},
  };
  for (const Case& k : cases)
    EXPECT_EQ(cell::SheetPrinter::pageText(QString::fromUtf16(k.pattern), k.page, k.pages),
              QString::fromUtf16(k.expected));
}

TEST(SheetPrint, PaginationKeepsOrderAndGivesTallRowsAPage) {
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(5));
  c.SetRowHeight(0, 5000, 4, 0);  // taller than any page
  const cell::SheetPrinter printer(c.sheet());
  const auto pages = printer.paginate(1000);
  std::vector<int> all;
  for (const auto& p : pages) {
    EXPECT_FALSE(p.rows.empty());
    // A page that goes on with a row shows its first row again.
    all.insert(all.end(), p.rows.begin() + (p.skip > 0 ? 1 : 0), p.rows.end());
  }
  EXPECT_EQ(all, (std::vector<int>{3, 4, 5, 6, 7, 8})) << "title rows 1 and 2 are not body rows";
  EXPECT_EQ(pages[1].rows, std::vector<int>{4});
  EXPECT_EQ(pages[1].skip, 0);

  // The tall row runs on over four more pages, 1000 units each; the last
  // of them has room for nothing else.
  ASSERT_GE(pages.size(), 7u);
  for (std::size_t i = 2; i <= 5; ++i) {
    EXPECT_EQ(pages[i].rows, std::vector<int>{4}) << i;
    EXPECT_EQ(pages[i].skip, 1000.0 * static_cast<double>(i - 1)) << i;
  }
  EXPECT_EQ(pages[6].rows.front(), 5);
  EXPECT_EQ(pages[6].skip, 0);

  TCell empty;
  celltest::fillRegister(empty, {});
  EXPECT_EQ(cell::SheetPrinter(empty.sheet()).paginate(1000).size(), 1u);
}

namespace {

// Grey levels of one page of a PDF rendered by pdftoppm at the given
// resolution; empty when it cannot be rendered.
struct Greys {
  int width = 0, height = 0;
  QByteArray pixels;
  int at(int x, int y) const { return static_cast<unsigned char>(pixels.at(y * width + x)); }
};

Greys render(const QString& pdf, int page, int dpi, const QString& prefix) {
  tools::run(QStringLiteral("pdftoppm"), {QStringLiteral("-gray"), QStringLiteral("-r"), QString::number(dpi),
                                   QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                   QString::number(page), QStringLiteral("-singlefile"), pdf, prefix});
  QFile f(prefix + QStringLiteral(".pgm"));
  Greys g;
  if (!f.open(QIODevice::ReadOnly)) return g;
  const QByteArray data = f.readAll();
  // P5, width, height, maximum, one blank, then the pixels.
  const QList<QByteArray> head = data.left(64).simplified().split(' ');
  if (head.size() < 4 || head[0] != "P5") return g;
  g.width = head[1].toInt();
  g.height = head[2].toInt();
  g.pixels = data.right(static_cast<qsizetype>(g.width) * g.height);
  return g;
}

}  // namespace

// A problem whose description is taller than a page: it runs on over the
// next pages, and nothing but the page texts is drawn in the band at the foot
// of any page.
TEST(SheetPrint, ARowTallerThanAPageRunsOnAndKeepsClearOfThePageTexts) {
  if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty()) GTEST_SKIP() << "poppler-utils missing";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QString tall;
  const int parts = 120;
  for (int i = 1; i <= parts; ++i) tall += QStringLiteral("〔段%1〕本单位党员总数与各项分类合计不一致。").arg(i);
  std::vector<celltest::Problem> problems = celltest::numberedProblems(3);
  problems.insert(problems.begin() + 1, {QStringLiteral("长表"), tall, QStringLiteral("超长")});
  TCell c;
  celltest::fillRegister(c, problems);
  const QString pdf = dir.filePath(QStringLiteral("tall.pdf"));
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(pdf);
  c.printTo(printer);

  const int pages = pdfPages(pdf);
  ASSERT_GE(pages, 3) << "the tall row alone needs more than a page";
  QString all;
  for (int page = 1; page <= pages; ++page) {
    const QString text = tools::pdfPageText(pdf, page);
    EXPECT_TRUE(text.contains(QStringLiteral("第%1页/共%2页").arg(page).arg(pages))) << page;
    all += QString(text).remove(QRegularExpression(QStringLiteral("\\s")));

    // The band under the rows: the bottom 20 mm of the 210 mm page, less the
    // middle third where the centred page text stands.
    const int dpi = 100;
    const Greys g = render(pdf, page, dpi, dir.filePath(QStringLiteral("page")));
    ASSERT_GT(g.width, g.height) << "landscape page " << page;
    const int bandTop = static_cast<int>(std::ceil((210 - 20 + 0.5) / 25.4 * dpi));
    int ink = 0;
    for (int y = bandTop; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x)
        if ((x < g.width / 3 || x > 2 * g.width / 3) && g.at(x, y) < 160) ++ink;
    EXPECT_EQ(ink, 0) << "page " << page << ": rows drawn over the page texts' band";
  }
  // Every part of the tall text is printed (a line cut at a page's foot may
  // show on neither page whole, so allow one lost line per page).
  int seen = 0;
  for (int i = 1; i <= parts; ++i) seen += all.contains(QStringLiteral("〔段%1〕").arg(i)) ? 1 : 0;
  EXPECT_GE(seen, parts - 2 * pages);
  EXPECT_TRUE(all.contains(QStringLiteral("〔段%1〕").arg(parts))) << "the end of the tall row";
  EXPECT_TRUE(all.contains(QStringLiteral("第3项："))) << "the rows after it";
  EXPECT_TRUE(tools::pdfPageText(pdf, pages).contains(QStringLiteral("审核人签名：")));
}

TEST(SheetPrint, APrinterThatCannotStartRaises) {
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(2));
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QStringLiteral("/nonexistent-folder/register.pdf"));
  EXPECT_THROW(c.printTo(printer), TCellError);
}

TEST(SheetPrint, NoDefaultPrinterRaises) {
  if (!QPrinterInfo::defaultPrinter().isNull()) GTEST_SKIP() << "this machine has a default printer";
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(2));
  EXPECT_THROW(c.PrintSheet(0, 0, false), TCellError);
}

// Qt hands the job to CUPS after the last page and takes no answer: a queue
// that refuses it still raises, with CUPS's reason after the printer's name,
// while a queue that takes it prints without a word. Through a CUPS server of
// the test's own (its queue discards what it prints), in a process whose CUPS
// library talks to it; skipped where CUPS is not installed.
TEST(SheetPrint, AJobTheQueueRefusesRaisesWithCupssReason) {
  const char* const test = "SheetPrint.AJobTheQueueRefusesRaisesWithCupssReason";
  std::optional<testsupport::PrivateCups> cups;
  if (!testsupport::isChildProcessOf(test)) {
    cups.emplace();
    if (!cups->unavailable().isEmpty()) GTEST_SKIP() << cups->unavailable().toStdString();
    ASSERT_TRUE(cups->run(QStringLiteral("lpadmin"), {"-p", "register", "-v", "file:/dev/null", "-E"}));
    ASSERT_TRUE(cups->run(QStringLiteral("lpadmin"), {"-d", "register"}));
  }
  if (!testsupport::inChildProcess(test, {{"CUPS_SERVER", cups ? cups->socket() : QString()}, {"LC_ALL", "C.UTF-8"}}))
    return;

  ASSERT_EQ(QPrinterInfo::defaultPrinter().printerName(), QStringLiteral("register"));
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(2));
  EXPECT_NO_THROW(c.PrintSheet(0, 0, false));
  ASSERT_EQ(QProcess::execute(QStringLiteral("cupsreject"), {QStringLiteral("register")}), 0);
  try {
    c.PrintSheet(0, 0, false);
    ADD_FAILURE() << "a refused job passed for a print";
  } catch (const TCellError& e) {
    const QString reason = QString::fromUtf8(e.what());
    EXPECT_TRUE(reason.startsWith(QStringLiteral("打印失败：register\n"))) << e.what();
    EXPECT_TRUE(reason.contains(QStringLiteral("not accepting jobs"))) << e.what();
  }
}
