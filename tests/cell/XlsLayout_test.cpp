// The exported workbook's layout as independent readers see it: registers
// longer than a worksheet, the print setup, the string table's index, the
// compound file, row heights; printed by LibreOffice where it is installed.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QPrinter>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <initializer_list>

#include "cell/CellText.h"
#include "cell/Sheet.h"
#include "cell/TCell.h"
#include "cell/XlsWriter.h"
#include "tests/cell/Register.h"
#include "tests/support/PdfRows.h"
#include "tests/support/Tools.h"
#include "tests/support/XlsDump.h"

using celltest::Problem;

namespace {

constexpr int kWorksheetRows = 65536;
const QString kHeaders[] = {QStringLiteral("表号"), QStringLiteral("问题描述"), QStringLiteral("类别"),
                            QStringLiteral("回复情况")};

QJsonObject sheetOf(const QJsonObject& dump, int i) {
  return dump.value(QStringLiteral("sheets")).toArray().at(i).toObject();
}

QString at(const std::map<std::pair<int, int>, QString>& texts, int row, int column) {
  const auto it = texts.find({row, column});
  return it == texts.end() ? QString() : it->second;
}

bool boxed(const QJsonObject& xf) {
  return xf.value(QStringLiteral("left")).toBool() && xf.value(QStringLiteral("right")).toBool() &&
         xf.value(QStringLiteral("top")).toBool() && xf.value(QStringLiteral("bottom")).toBool();
}

// Merged ranges as the dump lists them, each an array of four. Appended one
// by one: clang reads QJsonArray({QJsonArray{...}}) as a copy of the one
// inner array.
QJsonArray merges(std::initializer_list<QJsonArray> ranges) {
  QJsonArray out;
  for (const QJsonArray& r : ranges) out.append(r);
  return out;
}

// An area of whole rows [first, past) of a worksheet as xlrd reports it (the
// columns cut to those the worksheet uses, four here).
QJsonArray wholeRows(int sheet, int first, int past) { return {sheet, first, past, 0, 4}; }

// The built-in Print_Titles names: worksheet -> area (sheet, rows, columns).
std::map<int, QJsonArray> printTitles(const QJsonObject& dump) {
  std::map<int, QJsonArray> out;
  for (const QJsonValue& v : dump.value(QStringLiteral("names")).toArray()) {
    const QJsonObject n = v.toObject();
    if (n.value(QStringLiteral("name")).toString() == QStringLiteral("Print_Titles") &&
        n.value(QStringLiteral("builtin")).toBool())
      out[n.value(QStringLiteral("scope")).toInt()] = n.value(QStringLiteral("area")).toArray();
  }
  return out;
}

// The register's description column: width of its text, and the height of
// one line of a problem row's text, both as the program lays them out.
double descriptionWidth(const TCell& c) { return c.sheet().columnWidth(2) - 2 * cell::kCellPaddingX; }
double lineHeight() { return cell::textHeight(QStringLiteral("中"), cell::Sheet::kDefaultFontSize, cell::TextStyle::Plain, 1e6); }

int linesOf(const QString& text, double width) {
  const double h = cell::textHeight(text, cell::Sheet::kDefaultFontSize, cell::TextStyle::Wrap, width);
  return static_cast<int>(std::lround(h / lineHeight()));
}

// A pattern repeated to the longest text that the program wraps into exactly
// the given number of lines, and that text with one character more (the
// shortest that takes one more line).
std::pair<QString, QString> atLines(const QString& pattern, int lines, double width) {
  QString text;
  for (qsizetype i = 0;; ++i) {
    const QString longer = text + pattern.at(i % pattern.size());
    if (linesOf(longer, width) > lines) return {text, longer};
    text = longer;
  }
}

// Problems whose descriptions wrap into 1 to 6 lines in the program's face,
// on either side of each line's end: Chinese alone, the demo's mix of names
// and formulas, Latin letters and digits (far wider in a sans face than in
// the Song face), and lines of their own.
std::vector<Problem> wrappedProblems(double width) {
  const QString patterns[] = {QStringLiteral("党员人数与合计不符请核实"),
                              QStringLiteral("东川开发人民路二合作社党支部 若A19>0, 则 (B19+C19+D19)/A19 = 50.15%；"),
                              QStringLiteral("A19 1234567890 B19+C19+D19 ")};
  std::vector<Problem> out;
  for (int lines = 1; lines <= 6; ++lines) {
    for (const QString& pattern : patterns) {
      const auto [longest, over] = atLines(pattern, lines, width);
      out.push_back({QStringLiteral("第%1表").arg(lines), longest, QStringLiteral("逻辑")});
      out.push_back({QStringLiteral("第%1表").arg(lines + 1), over, QStringLiteral("逻辑")});
    }
    QStringList own;
    for (int i = 1; i <= lines; ++i) own << QStringLiteral("第%1行").arg(i);
    out.push_back({QStringLiteral("第%1表").arg(lines), own.join(u'\n'), QStringLiteral("逻辑")});
  }
  return out;
}

class WorkbookLayout : public testing::Test {
 protected:
  void SetUp() override {
    if (const QString why = xlsdump::unavailable(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
    ASSERT_TRUE(dir_.isValid());
  }
  QString exported(TCell& c, const QString& name) {
    const QString file = dir_.filePath(name);
    c.ExportExcel(file);
    return file;
  }
  QTemporaryDir dir_;
};

}  // namespace

// 70,000 problems: the first worksheet as it always was, 65,536 rows; the
// rest on a second one under its own title and header rows; lines down to
// the last row of each, the signature row last.
TEST_F(WorkbookLayout, ARegisterLongerThanAWorksheetContinuesOnTheNext) {
  const int count = 70000;
  const std::vector<Problem> problems = celltest::numberedProblems(count);
  TCell c;
  celltest::fillRegister(c, problems);
  const QJsonObject dump = xlsdump::read(exported(c, QStringLiteral("long.xls")));

  ASSERT_EQ(dump.value(QStringLiteral("sheets")).toArray().size(), 2);
  const QJsonObject first = sheetOf(dump, 0);
  const QJsonObject second = sheetOf(dump, 1);
  const int onFirst = kWorksheetRows - 2;  // problems under the title and header rows
  const int secondRows = 2 + (count - onFirst) + 1;
  ASSERT_EQ(first.value(QStringLiteral("rows")).toInt(), kWorksheetRows);
  ASSERT_EQ(second.value(QStringLiteral("rows")).toInt(), secondRows);

  // Every problem once, in order, across both worksheets.
  const auto t1 = xlsdump::texts(first);
  const auto t2 = xlsdump::texts(second);
  for (int i = 0; i < count; ++i) {
    const auto& texts = i < onFirst ? t1 : t2;
    const int row = 2 + (i < onFirst ? i : i - onFirst);
    const Problem& p = problems[static_cast<std::size_t>(i)];
    ASSERT_EQ(at(texts, row, 0), p.table) << i;
    ASSERT_EQ(at(texts, row, 1), p.description) << i;
    ASSERT_EQ(at(texts, row, 2), p.category) << i;
    ASSERT_EQ(at(texts, row, 3), QString()) << i;
  }
  for (const auto* texts : {&t1, &t2}) {
    EXPECT_EQ(at(*texts, 0, 0), celltest::kTitle);
    for (int col = 0; col < 4; ++col) EXPECT_EQ(at(*texts, 1, col), kHeaders[col]) << col;
  }
  EXPECT_EQ(at(t2, secondRows - 1, 0), celltest::kSignature);
  for (const auto& [cellAt, text] : t1) EXPECT_NE(text, celltest::kSignature) << cellAt.first;

  // Title merged on both, the signature on the last; widths and title heights alike.
  EXPECT_EQ(first.value(QStringLiteral("merges")).toArray(), merges({{0, 1, 0, 4}}));
  EXPECT_EQ(second.value(QStringLiteral("merges")).toArray(),
            merges({{0, 1, 0, 4}, {secondRows - 1, secondRows, 0, 4}}));
  EXPECT_EQ(second.value(QStringLiteral("widths")), first.value(QStringLiteral("widths")));
  const QJsonArray h1 = first.value(QStringLiteral("heights")).toArray();
  const QJsonArray h2 = second.value(QStringLiteral("heights")).toArray();
  EXPECT_EQ(h2.at(0), h1.at(0));
  EXPECT_EQ(h2.at(1), h1.at(1));

  // Lines on the last rows of each worksheet; the signature has only the line above it.
  const auto f1 = xlsdump::formats(dump, first);
  const auto f2 = xlsdump::formats(dump, second);
  for (int col = 0; col < 4; ++col) {
    EXPECT_TRUE(boxed(f1.at({kWorksheetRows - 1, col}))) << col;
    EXPECT_TRUE(boxed(f2.at({1, col}))) << col;
    EXPECT_TRUE(boxed(f2.at({secondRows - 2, col}))) << col;
    const QJsonObject signature = f2.at({secondRows - 1, col});
    EXPECT_TRUE(signature.value(QStringLiteral("top")).toBool()) << col;
    EXPECT_TRUE(signature.value(QStringLiteral("bottom")).toBool()) << col;
  }
  EXPECT_FALSE(f2.at({secondRows - 1, 0}).value(QStringLiteral("left")).toBool());
  EXPECT_FALSE(f2.at({secondRows - 1, 3}).value(QStringLiteral("right")).toBool());

  // Both worksheets print their own title rows; the string index still fits.
  const auto titles = printTitles(dump);
  ASSERT_EQ(titles.size(), 2u);
  EXPECT_EQ(titles.at(0), wholeRows(0, 0, 2));
  EXPECT_EQ(titles.at(1), wholeRows(1, 0, 2));
  EXPECT_TRUE(dump.value(QStringLiteral("extsst")).toObject().value(QStringLiteral("matches")).toBool());
}

// LibreOffice reads both worksheets of the same register: each under its title
// and header rows, the problems in order, the signature last.
TEST_F(WorkbookLayout, LibreofficeReadsEveryWorksheetOfALongRegister) {
  if (tools::office().isEmpty()) GTEST_SKIP() << "LibreOffice is not installed";
  const int count = 70000;
  const std::vector<Problem> problems = celltest::numberedProblems(count);
  TCell c;
  celltest::fillRegister(c, problems);
  const QString file = exported(c, QStringLiteral("long.xls"));
  // Comma separated, UTF-8 (76), every worksheet (-1) to a file of its own.
  tools::officeConvert(file, QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1"),
                       dir_.path(), dir_.filePath(QStringLiteral("lo")));
  std::vector<QStringList> rows;
  for (const char* sheet : {"long-Sheet1.csv", "long-Sheet2.csv"}) {
    QFile csv(dir_.filePath(QString::fromLatin1(sheet)));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly)) << sheet;
    const QStringList lines = QString::fromUtf8(csv.readAll()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3) << sheet;
    EXPECT_EQ(lines.at(0).section(u',', 0, 0), celltest::kTitle) << sheet;
    EXPECT_EQ(lines.at(1), QStringLiteral("表号,问题描述,类别,回复情况")) << sheet;
    for (qsizetype i = 2; i < lines.size(); ++i) rows.push_back(lines.at(i).split(u','));
  }
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(count) + 1);
  for (int i = 0; i < count; ++i) {
    const Problem& p = problems[static_cast<std::size_t>(i)];
    ASSERT_EQ(rows[static_cast<std::size_t>(i)], (QStringList{p.table, p.description, p.category, QString()})) << i;
  }
  EXPECT_EQ(rows.back().at(0), celltest::kSignature);
}

TEST_F(WorkbookLayout, ARegisterThatFitsStaysOnOneWorksheet) {
  // The last register that fits: title, header, problems and signature in 65,536 rows.
  const int count = kWorksheetRows - 3;
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(count));
  const QJsonObject dump = xlsdump::read(exported(c, QStringLiteral("full.xls")));
  ASSERT_EQ(dump.value(QStringLiteral("sheets")).toArray().size(), 1);
  const QJsonObject sheet = sheetOf(dump, 0);
  EXPECT_EQ(sheet.value(QStringLiteral("rows")).toInt(), kWorksheetRows);
  EXPECT_EQ(at(xlsdump::texts(sheet), kWorksheetRows - 1, 0), celltest::kSignature);
  EXPECT_TRUE(boxed(xlsdump::formats(dump, sheet).at({kWorksheetRows - 2, 3})));
}

// Without print title rows the rows simply run on, 65,536 to a worksheet; a
// merge across the end of a worksheet is cut there and kept on both sides.
TEST_F(WorkbookLayout, ASheetWithoutTitleRowsRunsOnOverWorksheets) {
  cell::Sheet s;
  s.setColumnCount(3);
  s.setRowCount(140001);  // data rows 1..140000
  for (int r : {1, 65536, 65537, 131072, 131073, 140000}) s.setText(1, r, QString::number(r));
  s.merge({2, 65535, 2, 65538});
  const QString file = dir_.filePath(QStringLiteral("plain.xls"));
  cell::writeXls(s, file);
  const QJsonObject dump = xlsdump::read(file);

  const QJsonArray sheets = dump.value(QStringLiteral("sheets")).toArray();
  ASSERT_EQ(sheets.size(), 3);
  const int rows[] = {kWorksheetRows, kWorksheetRows, 140000 - 2 * kWorksheetRows};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(sheetOf(dump, i).value(QStringLiteral("rows")).toInt(), rows[i]) << i;
  const auto t1 = xlsdump::texts(sheetOf(dump, 0));
  const auto t2 = xlsdump::texts(sheetOf(dump, 1));
  const auto t3 = xlsdump::texts(sheetOf(dump, 2));
  EXPECT_EQ(at(t1, 0, 0), QStringLiteral("1"));
  EXPECT_EQ(at(t1, kWorksheetRows - 1, 0), QStringLiteral("65536"));
  EXPECT_EQ(at(t2, 0, 0), QStringLiteral("65537"));
  EXPECT_EQ(at(t2, kWorksheetRows - 1, 0), QStringLiteral("131072"));
  EXPECT_EQ(at(t3, 0, 0), QStringLiteral("131073"));
  EXPECT_EQ(at(t3, rows[2] - 1, 0), QStringLiteral("140000"));
  EXPECT_EQ(sheetOf(dump, 0).value(QStringLiteral("merges")).toArray(),
            merges({{kWorksheetRows - 2, kWorksheetRows, 1, 2}}));
  EXPECT_EQ(sheetOf(dump, 1).value(QStringLiteral("merges")).toArray(), merges({{0, 2, 1, 2}}));
  EXPECT_TRUE(printTitles(dump).empty());
}

// Paper, orientation, margins, scale, print titles and page texts as the
// print command uses them.
TEST_F(WorkbookLayout, PrintSetupIsRecordedForSpreadsheetPrograms) {
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(20));
  const QJsonObject dump = xlsdump::read(exported(c, QStringLiteral("setup.xls")));
  const QJsonObject sheet = sheetOf(dump, 0);

  EXPECT_EQ(sheet.value(QStringLiteral("footer")).toString(), QStringLiteral("&C第&P页/共&N页"));
  EXPECT_EQ(sheet.value(QStringLiteral("header")).toString(), QString());
  const QJsonObject margins = sheet.value(QStringLiteral("margins")).toObject();
  const double cm = 1 / 2.54;  // inches
  EXPECT_NEAR(margins.value(QStringLiteral("left")).toDouble(), cm, 1e-9);
  EXPECT_NEAR(margins.value(QStringLiteral("right")).toDouble(), cm, 1e-9);
  EXPECT_NEAR(margins.value(QStringLiteral("top")).toDouble(), cm, 1e-9);
  EXPECT_NEAR(margins.value(QStringLiteral("bottom")).toDouble(), 2 * cm, 1e-9) << "margin and footer band";
  const QJsonObject setup = sheet.value(QStringLiteral("setup")).toObject();
  EXPECT_EQ(setup.value(QStringLiteral("paper")).toInt(), 9) << "A4";
  EXPECT_TRUE(setup.value(QStringLiteral("landscape")).toBool());
  EXPECT_TRUE(setup.value(QStringLiteral("valid")).toBool());
  // One page wide, as many tall as it takes: each program measures the widths
  // in its own default font; the percentage (250 mm of columns on 277 mm of
  // paper) serves a user who turns fitting off.
  EXPECT_TRUE(sheet.value(QStringLiteral("fitToPage")).toBool());
  EXPECT_EQ(setup.value(QStringLiteral("fitWidth")).toInt(), 1);
  EXPECT_EQ(setup.value(QStringLiteral("fitHeight")).toInt(), 0);
  EXPECT_EQ(setup.value(QStringLiteral("scale")).toInt(), 110);
  EXPECT_NEAR(setup.value(QStringLiteral("footerMargin")).toDouble(), cm, 1e-9);

  EXPECT_EQ(printTitles(dump), (std::map<int, QJsonArray>{{0, wholeRows(0, 0, 2)}}));
}

TEST_F(WorkbookLayout, PageTextsBecomeFooterCodes) {
  struct Case {
    const char16_t *left, *centre, *right, *footer;
  };
  const Case cases[] = {
      {u"", u"第&P页/共&S页", u"", u"&C第&P页/共&N页"},
      {u"A&B", u"", u"&P of &S", u"&LA&&B&R&P of &N"},
      {u"", u"", u"", u""},
  };
  for (const Case& k : cases) {
    TCell c;
    celltest::fillRegister(c, {});
    c.SetPageTexts(QString::fromUtf16(k.left), QString::fromUtf16(k.centre), QString::fromUtf16(k.right));
    const QString footer = sheetOf(xlsdump::read(exported(c, QStringLiteral("f.xls"))), 0)
                               .value(QStringLiteral("footer"))
                               .toString();
    EXPECT_EQ(footer, QString::fromUtf16(k.footer));
  }
}

// EXTSST right after the SST, indexing its strings; one stream in a compound
// file that a strict reader accepts.
TEST_F(WorkbookLayout, StringIndexFollowsTheStringTableInASoundCompoundFile) {
  std::vector<Problem> problems;
  for (int i = 0; i < 3000; ++i)  // several CONTINUE records, buckets starting inside them
    problems.push_back({QStringLiteral("表%1").arg(i), QStringLiteral("描述%1：").arg(i) + QStringLiteral("不符").repeated(i % 50),
                        QStringLiteral("类")});
  TCell c;
  celltest::fillRegister(c, problems);
  const QJsonObject dump = xlsdump::read(exported(c, QStringLiteral("sst.xls")));

  const QJsonObject extsst = dump.value(QStringLiteral("extsst")).toObject();
  EXPECT_TRUE(extsst.value(QStringLiteral("matches")).toBool());
  EXPECT_GT(extsst.value(QStringLiteral("buckets")).toInt(), 100);
  QStringList order;
  for (const QJsonValue& v : dump.value(QStringLiteral("globalsOrder")).toArray()) order << v.toString();
  const qsizetype sst = order.indexOf(QStringLiteral("00FC"));
  ASSERT_GE(sst, 0);
  qsizetype after = sst + 1;
  while (after < order.size() && order.at(after) == QStringLiteral("003C")) ++after;
  ASSERT_LT(after + 1, order.size());
  EXPECT_EQ(order.at(after), QStringLiteral("00FF"));
  EXPECT_EQ(order.at(after + 1), QStringLiteral("000A")) << "the globals end after it";

  const QJsonObject ole = dump.value(QStringLiteral("ole")).toObject();
  EXPECT_EQ(ole.value(QStringLiteral("streams")).toArray(), QJsonArray{QStringLiteral("Workbook")});
  EXPECT_EQ(static_cast<qint64>(ole.value(QStringLiteral("workbookSize")).toDouble()) % 512, 0);
}

// Rows fitted to wrapped text are left for a reader to fit again, and are
// at least as tall as in the program, taller where a suite's sans face needs
// more lines; the title, header and signature rows keep their heights, set
// by hand.
TEST_F(WorkbookLayout, RowsFittedToWrappedTextAreWrittenForTheReadersFaces) {
  TCell c;
  problem_register::layOut(c);
  const std::vector<Problem> problems = wrappedProblems(descriptionWidth(c));
  celltest::fillRegister(c, problems);
  const QJsonObject sheet = sheetOf(xlsdump::read(exported(c, QStringLiteral("rows.xls"))), 0);
  const QJsonArray heights = sheet.value(QStringLiteral("heights")).toArray();
  const QJsonArray byHand = sheet.value(QStringLiteral("setByHand")).toArray();
  const int rows = c.GetRowCount(0) - 1;
  ASSERT_EQ(heights.size(), rows);
  ASSERT_EQ(byHand.size(), rows);
  auto twips = [](int tenthsMm) { return static_cast<int>(std::lround(tenthsMm * 1440.0 / 254.0)); };
  const int signature = rows - 1;  // worksheet rows count from the title's, 0
  for (int r : {0, 1, signature}) {
    EXPECT_TRUE(byHand.at(r).toBool()) << "row " << r;
    EXPECT_EQ(heights.at(r).toInt(), twips(c.sheet().rowHeight(r + 1))) << "row " << r;
  }
  int taller = 0;
  for (int r = 2; r < signature; ++r) {
    EXPECT_FALSE(byHand.at(r).toBool()) << "row " << r;
    EXPECT_GE(heights.at(r).toInt(), twips(c.sheet().rowHeight(r + 1))) << "row " << r;
    taller += heights.at(r).toInt() > twips(c.sheet().rowHeight(r + 1));
  }
  EXPECT_GT(taller, 0) << "the Latin rows need more lines in a sans face";
}

// LibreOffice draws 宋体 in faces of its own; the problem rows still hold
// their texts of 1 to 6 lines, each between its own rules.
TEST_F(WorkbookLayout, LibreofficeKeepsEveryWrappedTextInItsRow) {
  if (tools::office().isEmpty()) GTEST_SKIP() << "LibreOffice is not installed";
  if (const QString why = pdfrows::unavailable(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
  TCell c;
  problem_register::layOut(c);
  const std::vector<Problem> problems = wrappedProblems(descriptionWidth(c));
  celltest::fillRegister(c, problems);
  const QString file = exported(c, QStringLiteral("wrapped.xls"));
  tools::officeConvert(file, QStringLiteral("pdf"), dir_.path(), dir_.filePath(QStringLiteral("lo")));
  const QString pdf = dir_.filePath(QStringLiteral("wrapped.pdf"));
  tools::keepArtifact(pdf, QStringLiteral("wrapped_register_office.pdf"));
  const std::vector<pdfrows::Page> pages = pdfrows::read(pdf, dir_.filePath(QStringLiteral("pages")));
  ASSERT_FALSE(pages.empty());

  QStringList rows;
  for (const Problem& p : problems) rows << p.table + p.description + p.category;
  rows << celltest::kSignature;
  QString header;
  for (const QString& h : kHeaders) header += h;
  const QStringList faults = pdfrows::overflows(pages, header, rows);
  EXPECT_TRUE(faults.isEmpty()) << faults.size() << " faults, the first:\n"
                                << faults.mid(0, 10).join(u'\n').toStdString();
}

// LibreOffice prints the workbook as the print command prints the register:
// A4 landscape, every column on every page under the title rows, page texts
// at the foot. It measures widths in its own font, so its scale and page
// count may differ a little.
TEST_F(WorkbookLayout, LibreofficePrintsThePagesThePrintCommandPrints) {
  if (tools::office().isEmpty()) GTEST_SKIP() << "LibreOffice is not installed";
  if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) GTEST_SKIP() << "poppler-utils missing";
  TCell c;
  celltest::fillRegister(c, celltest::numberedProblems(200));
  const QString file = exported(c, QStringLiteral("register.xls"));
  tools::officeConvert(file, QStringLiteral("pdf"), dir_.filePath(QStringLiteral("lo-out")), dir_.filePath(QStringLiteral("lo")));
  const QString fromOffice = dir_.filePath(QStringLiteral("lo-out/register.pdf"));
  const QString ours = dir_.filePath(QStringLiteral("ours.pdf"));
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(ours);
  c.printTo(printer);

  const int pages = tools::pdfPages(fromOffice);
  const QString size = tools::pdfInfo(fromOffice, QStringLiteral("Page size"));
  const int ourPages = tools::pdfPages(ours);
  ASSERT_GT(ourPages, 3);
  EXPECT_TRUE(size.contains(QStringLiteral("(A4)"))) << size.toStdString();
  const QStringList points = size.split(u' ');
  ASSERT_GE(points.size(), 3);
  EXPECT_GT(points.at(0).toDouble(), points.at(2).toDouble()) << "landscape: " << size.toStdString();
  EXPECT_LE(std::abs(pages - ourPages), std::max(1, ourPages / 8)) << pages << " pages against " << ourPages;
  for (int p = 1; p <= pages; ++p) {
    const QString text = tools::pdfPageText(fromOffice, p).remove(u' ');
    EXPECT_TRUE(text.contains(celltest::kTitle)) << p;
    for (const QString& header : kHeaders) EXPECT_TRUE(text.contains(header)) << p << header.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("逻辑"))) << "the category column, on page " << p;
    EXPECT_TRUE(text.contains(QStringLiteral("第%1页/共%2页").arg(p).arg(pages))) << p;
  }
  EXPECT_TRUE(tools::pdfPageText(fromOffice, pages).contains(QStringLiteral("审核人签名：")));
}
