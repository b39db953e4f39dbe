// Printing: pages, title rows, page texts; failures raise.
#include <gtest/gtest.h>

#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <set>

#include "cell/Sheet.h"
#include "cell/SheetPrinter.h"
#include "cell/TCell.h"
#include "tests/cell/Register.h"

namespace {

QString run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  p.waitForFinished(60000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& pdf) {
  const QString info = run(QStringLiteral("pdfinfo"), {pdf});
  for (const QString& line : info.split(u'\n'))
    if (line.startsWith(QStringLiteral("Pages:"))) return line.mid(6).trimmed().toInt();
  return -1;
}

QString pageText(const QString& pdf, int page) {
  return run(QStringLiteral("pdftotext"),
             {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"), QString::number(page),
              QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

}  // namespace

TEST(sheet_print, three_pages_each_with_title_rows_and_page_number) {
  if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) GTEST_SKIP() << "poppler-utils missing";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const int problems = 50;
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
    const QString text = pageText(pdf, page);
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
  EXPECT_TRUE(pageText(pdf, 3).contains(QStringLiteral("审核人签名：")));
  EXPECT_FALSE(pageText(pdf, 2).contains(QStringLiteral("审核人签名：")));
}

TEST(sheet_print, page_texts_replace_page_number_and_count) {
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

TEST(sheet_print, pagination_keeps_order_and_gives_tall_rows_a_page) {
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(5));
  c.SetRowHeight(0, 5000, 4, 0);  // taller than any page
  const cell::SheetPrinter printer(c.sheet());
  const auto pages = printer.paginate(1000);
  std::vector<int> all;
  for (const auto& p : pages) {
    EXPECT_FALSE(p.empty());
    all.insert(all.end(), p.begin(), p.end());
  }
  EXPECT_EQ(all, (std::vector<int>{3, 4, 5, 6, 7, 8})) << "title rows 1 and 2 are not body rows";
  EXPECT_EQ(pages[1], std::vector<int>{4});

  TCell empty;
  celltest::fillRegister(empty, {});
  EXPECT_EQ(cell::SheetPrinter(empty.sheet()).paginate(1000).size(), 1u);
}

TEST(sheet_print, a_printer_that_cannot_start_raises) {
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(2));
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QStringLiteral("/nonexistent-folder/register.pdf"));
  EXPECT_THROW(c.printTo(printer), TCellError);
}

TEST(sheet_print, no_default_printer_raises) {
  if (!QPrinterInfo::defaultPrinter().isNull()) GTEST_SKIP() << "this machine has a default printer";
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(2));
  EXPECT_THROW(c.PrintSheet(0, 0, false), TCellError);
}
