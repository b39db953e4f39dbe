// Export of the register to an Excel workbook and printing it.
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include "app/ProblemRegister.h"
#include "app/TPicture.h"
#include "app/Texts.h"
#include "cell/CellTexts.h"
#include "tests/support/PdfRows.h"
#include "tests/support/Tools.h"
#include "tests/support/XlsDump.h"
#include "tests/window/WindowFixture.h"

namespace {

using tools::pdfPages;

// CSV as LibreOffice writes it with every text cell quoted: quotes doubled.
using Grid = std::vector<QStringList>;
Grid parseCsv(const QString& text) {
  Grid grid;
  QStringList row;
  QString field;
  bool quoted = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar ch = text[i];
    if (quoted) {
      if (ch == QLatin1Char('"')) {
        if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
          field += ch;
          ++i;
        } else {
          quoted = false;
        }
      } else {
        field += ch;
      }
    } else if (ch == QLatin1Char('"')) {
      quoted = true;
    } else if (ch == QLatin1Char(',')) {
      row << field;
      field.clear();
    } else if (ch == QLatin1Char('\n')) {
      row << field;
      field.clear();
      grid.push_back(row);
      row.clear();
    } else if (ch != QLatin1Char('\r') && ch != QLatin1Char('\f')) {
      field += ch;
    }
  }
  if (!field.isEmpty() || !row.isEmpty()) grid.push_back(row << field);
  return grid;
}

QString at(const Grid& g, int row, int col) {
  if (row < 0 || row >= int(g.size()) || col < 0 || col >= g[row].size()) return QString();
  return g[row][col];
}

const std::vector<Problem> kProblems = {
    {QStringLiteral("17000001"), QStringLiteral("第1表"),
     QStringLiteral("XX市委：第1表中第3行第2列的值（12）应等于第4行与第5行之和（10）"),
     QStringLiteral("表内审核")},
    {QStringLiteral("17000002"), QStringLiteral("第2表"),
     QStringLiteral("He said \"check\", twice; 引号与逗号，都要原样保留"), QStringLiteral("逻辑性审核")},
    {QStringLiteral("17000007"), QStringLiteral("第7表"), QStringLiteral("XX乡党委：发展党员数为0"),
     QStringLiteral("合理性审核")},
};

class ExportTest : public WindowTest {
 protected:
  void fillRegister() {
    createProblemTable();
    addProblems(kProblems);
    window->Datetocell();
  }

  // The register as an independent reader sees it: the header row, and the
  // rows after it, are found wherever the workbook places its first column.
  void expectRegister(const Grid& g) {
    int hr = -1, hc = -1;
    for (int r = 0; r < int(g.size()) && hr < 0; ++r)
      for (int c = 0; c < g[r].size(); ++c)
        if (g[r][c] == QStringLiteral("表号")) {
          hr = r;
          hc = c;
          break;
        }
    ASSERT_GE(hr, 1) << "header row, under the title";
    EXPECT_TRUE(g[hr - 1].contains(texts::kRegisterTitle));
    EXPECT_EQ(at(g, hr, hc + 1), QStringLiteral("问题描述"));
    EXPECT_EQ(at(g, hr, hc + 2), QStringLiteral("类别"));
    EXPECT_EQ(at(g, hr, hc + 3), QStringLiteral("回复情况"));
    for (int i = 0; i < int(kProblems.size()); ++i) {
      const int r = hr + 1 + i;
      EXPECT_EQ(at(g, r, hc), kProblems[i].table) << "row " << r;
      EXPECT_EQ(at(g, r, hc + 1), kProblems[i].description) << "row " << r;
      EXPECT_EQ(at(g, r, hc + 2), kProblems[i].category) << "row " << r;
      EXPECT_EQ(at(g, r, hc + 3), QString()) << "row " << r;
    }
    const int sr = hr + 1 + int(kProblems.size());
    ASSERT_LT(sr, int(g.size()));
    bool signature = false;
    for (const QString& s : g[sr]) signature = signature || s == texts::kSignature;
    EXPECT_TRUE(signature) << "signature row";
  }
};

// The rows of the first worksheet as the independent readers see them.
Grid readBack(const QString& file) {
  const QJsonObject sheet = xlsdump::read(file).value(QStringLiteral("sheets")).toArray().at(0).toObject();
  Grid grid(static_cast<std::size_t>(sheet.value(QStringLiteral("rows")).toInt()));
  const int columns = sheet.value(QStringLiteral("columns")).toInt();
  for (QStringList& row : grid)
    for (int c = 0; c < columns; ++c) row << QString();
  for (const auto& [cell, text] : xlsdump::texts(sheet)) grid[static_cast<std::size_t>(cell.first)][cell.second] = text;
  return grid;
}

TEST_F(ExportTest, WorkbookReadsBackWithTheSameTextsInTheSameCells) {
  if (const QString why = xlsdump::unavailable(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
  fillRegister();
  const QString file = dir.filePath(QStringLiteral("register.xls"));
  dialogs.fileAnswers.push_back(file);
  window->picture("imgExport")->click();

  EXPECT_TRUE(dialogs.texts(DialogCall::Failure).empty());
  ASSERT_EQ(dialogs.texts(DialogCall::Information), std::vector<QString>{texts::kExportDone});
  ASSERT_EQ(dialogs.calls.front().kind, DialogCall::Save);
  EXPECT_EQ(dialogs.calls.front().options.defaultExtension, QStringLiteral("xls"));
  EXPECT_EQ(dialogs.calls.front().options.filter, texts::kSaveFilter);
  EXPECT_TRUE(dialogs.calls.front().options.confirmOverwrite);
  EXPECT_EQ(dialogs.calls.front().owner, window.get());
  EXPECT_EQ(dialogs.calls.back().caption, texts::kHint);

  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.read(8), QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) << "a compound file";
  f.close();

  expectRegister(readBack(file));
}

// The register of a check over the demo data with the demo rule files beside
// the program (2,814 problems), exported by the command.
class DemoExportTest : public WindowTest {
 protected:
  DemoExportTest() : WindowTest(TestDatabase::Content::Demo) {}
  void prepare() override {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("2016XML")));
    for (int n = 11; n <= 14; ++n) {
      const QString name = QStringLiteral("/2016XML/checkRuler_%1.xml").arg(n);
      ASSERT_TRUE(QFile::copy(QStringLiteral(RC_DEMO_DIR) + name, dir.path() + name));
    }
  }
};

// Read whole: every text of every row, in its cell.
TEST_F(DemoExportTest, EveryTextOfTheDemoRegisterReadsBackInItsCell) {
  if (const QString why = xlsdump::unavailable(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
  window->picture("imgJH")->click();
  ASSERT_TRUE(dialogs.calls.empty());
  ASSERT_GT(sheet().rowCount(), 1000) << "a register of demo size";
  const QString file = dir.filePath(QStringLiteral("demo.xls"));
  dialogs.fileAnswers.push_back(file);
  window->picture("imgExport")->click();
  ASSERT_EQ(dialogs.texts(DialogCall::Information), std::vector<QString>{texts::kExportDone});

  const Grid grid = readBack(file);
  ASSERT_EQ(static_cast<int>(grid.size()), sheet().rowCount() - 1);
  int texts = 0;
  for (int r = 1; r < sheet().rowCount(); ++r)
    for (int c = 1; c <= 4; ++c) {
      ASSERT_EQ(at(grid, r - 1, c - 1), sheet().text(c, r)) << "row " << r << " column " << c;
      texts += sheet().text(c, r).isEmpty() ? 0 : 1;
    }
  EXPECT_GT(texts, 3 * (sheet().rowCount() - 4));
}

// Rendered by an office suite, which draws 宋体 in a face of its own: every
// problem row still holds its whole text between its rules.
TEST_F(DemoExportTest, EveryRowHoldsItsTextInAnOfficeSuite) {
  if (tools::office().isEmpty()) GTEST_SKIP() << "LibreOffice is not installed";
  if (const QString why = pdfrows::unavailable(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
  window->picture("imgJH")->click();
  ASSERT_TRUE(dialogs.calls.empty());
  ASSERT_EQ(sheet().rowCount(), 2814 + 4) << "the demo's problems, title, header, signature";
  const QString file = dir.filePath(QStringLiteral("demo.xls"));
  dialogs.fileAnswers.push_back(file);
  window->picture("imgExport")->click();
  ASSERT_EQ(dialogs.texts(DialogCall::Information), std::vector<QString>{texts::kExportDone});

  tools::officeConvert(file, QStringLiteral("pdf"), dir.path(), dir.filePath(QStringLiteral("lo")));
  const QString pdf = dir.filePath(QStringLiteral("demo.pdf"));
  tools::keepArtifact(pdf, QStringLiteral("demo_register_office.pdf"));
  const std::vector<pdfrows::Page> pages = pdfrows::read(pdf, dir.filePath(QStringLiteral("pages")));
  ASSERT_GT(pages.size(), 10u);
  auto cellsOf = [&](int r) { return sheet().text(1, r) + sheet().text(2, r) + sheet().text(3, r) + sheet().text(4, r); };
  QStringList rows;
  for (int r = 3; r < sheet().rowCount(); ++r) rows << cellsOf(r);
  const QStringList faults = pdfrows::overflows(pages, cellsOf(2), rows);
  EXPECT_TRUE(faults.isEmpty()) << faults.size() << " faults, the first:\n"
                                << faults.mid(0, 10).join(QLatin1Char('\n')).toStdString();
}

TEST_F(ExportTest, WorkbookOpensInLibreofficeWherePresent) {
  if (tools::office().isEmpty()) GTEST_SKIP() << "LibreOffice is not installed";
  fillRegister();
  const QString file = dir.filePath(QStringLiteral("register.xls"));
  dialogs.fileAnswers.push_back(file);
  window->picture("imgExport")->click();
  ASSERT_EQ(dialogs.texts(DialogCall::Information), std::vector<QString>{texts::kExportDone});
  // Comma separated, double quotes, UTF-8 (76), every text cell quoted.
  tools::officeConvert(file, QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,true"), dir.path(),
                       dir.filePath(QStringLiteral("lo")));
  QFile csv(dir.filePath(QStringLiteral("register.csv")));
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  expectRegister(parseCsv(QString::fromUtf8(csv.readAll())));
}

TEST_F(ExportTest, CancellingTheDialogWritesAndShowsNothing) {
  fillRegister();
  dialogs.fileAnswers.push_back(std::nullopt);
  window->picture("imgExport")->click();
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(dialogs.calls.front().kind, DialogCall::Save);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("statistics.ini")});
}

// The first export's dialog opens in the working folder (it is given none),
// each later one of the session in the folder of the last export; a
// cancelled dialog changes nothing.
TEST_F(ExportTest, TheSaveDialogOpensInTheFolderOfTheLastExport) {
  fillRegister();
  QTemporaryDir elsewhere;
  const QString first = elsewhere.filePath(QStringLiteral("第一次.xls"));
  dialogs.fileAnswers = {first, std::nullopt, dir.filePath(QStringLiteral("second.xls")), std::nullopt};
  for (int i = 0; i < 4; ++i) window->picture("imgExport")->click();
  QStringList opened;
  for (const DialogCall& call : dialogs.calls)
    if (call.kind == DialogCall::Save) opened << call.options.folder;
  EXPECT_EQ(opened, (QStringList{QString(), elsewhere.path(), elsewhere.path(), dir.path()}));
  EXPECT_TRUE(QFileInfo::exists(first));
}

TEST_F(ExportTest, AnUnwritablePathShowsTheFailureAndNotCompletion) {
  fillRegister();
  // A path under a plain file cannot be created, not even by root.
  QFile blocker(dir.filePath(QStringLiteral("blocker")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const QString file = dir.filePath(QStringLiteral("blocker/register.xls"));
  dialogs.fileAnswers.push_back(file);
  window->picture("imgExport")->click();

  EXPECT_TRUE(dialogs.texts(DialogCall::Information).empty()) << "no \"导出完成！\"";
  const auto failures = dialogs.texts(DialogCall::Failure);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_FALSE(failures.front().isEmpty());
  EXPECT_FALSE(QFileInfo::exists(file));
}

// A read-only workbook typed in the save dialog and confirmed is not
// replaced, whoever runs the program: the failure says why.
TEST_F(ExportTest, AReadOnlyWorkbookIsRefusedWithTheReason) {
  fillRegister();
  const QString file = dir.filePath(QStringLiteral("register.xls"));
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old");
  }
  ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
  dialogs.fileAnswers.push_back(file);
  window->picture("imgExport")->click();

  EXPECT_TRUE(dialogs.texts(DialogCall::Information).empty()) << "no \"导出完成！\"";
  EXPECT_EQ(dialogs.texts(DialogCall::Failure),
            std::vector<QString>{cell::texts::kCannotCreate.arg(file, qt_error_string(EACCES))});
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), "old");
}

TEST_F(WindowTest, PrintedRegisterRepeatsTitleRowsAndNumbersItsPages) {
  if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
    GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  TCell& c = window->cell();
  const QString pdf = dir.filePath(QStringLiteral("register.pdf"));
  auto printRows = [&](int n) {
    c.SetRowCount(3, 0);
    int i = 0;
    problem_register::fill(c, [&](problem_register::ProblemRow& row) {
      if (i == n) return false;
      ++i;
      row = {QStringLiteral("第%1表").arg(i % 10 + 1), QStringLiteral("第%1个问题的描述").arg(i),
             QStringLiteral("表内审核")};
      return true;
    });
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
    c.printTo(printer);
    return pdfPages(pdf);
  };
  // Find a register of exactly three pages: pages grow with the rows.
  int rows = 20;
  int pages = printRows(rows);
  while (pages < 3 && rows < 2000) pages = printRows(rows += 10);
  ASSERT_EQ(pages, 3) << rows << " rows";

  for (int p = 1; p <= 3; ++p) {
    const QString page = tools::pdfPageText(pdf, p);
    const QString compact = QString(page).remove(QLatin1Char(' '));
    EXPECT_TRUE(compact.contains(texts::kRegisterTitle)) << "page " << p;
    for (const char* h : {"表号", "问题描述", "类别", "回复情况"})
      EXPECT_TRUE(compact.contains(QString::fromUtf8(h))) << h << " on page " << p;
    EXPECT_TRUE(compact.contains(QStringLiteral("第%1页/共3页").arg(p))) << "page " << p;
  }
  const QString last = tools::pdfPageText(pdf, 3).remove(u' ');
  EXPECT_TRUE(last.contains(QStringLiteral("审核人签名："))) << "the signature ends the last page";
  EXPECT_TRUE(last.contains(QStringLiteral("第%1个问题的描述").arg(rows)));
}

// The box says only that printing failed; why is on standard error.
TEST_F(WindowTest, PrintWithoutAPrinterReportsOnceAndKeepsTheSheet) {
  if (!QPrinterInfo::defaultPrinter().isNull())
    GTEST_SKIP() << "this machine has a default printer; the test would print on it";
  testsupport::createProblemTable(db);
  db.exec(QStringLiteral("INSERT INTO TMP_CONTENT VALUES ('1','17000001','第1表','问题','表内审核','')"));
  window->Datetocell();
  const QStringList before = snapshot();
  testing::internal::CaptureStderr();
  window->picture("imgPrint")->click();
  const QString stderrText = QString::fromStdString(testing::internal::GetCapturedStderr());
  EXPECT_EQ(dialogs.texts(DialogCall::Information), std::vector<QString>{texts::kPrintFailed});
  // The reason is on standard error, under the box's sentence.
  EXPECT_TRUE(stderrText.contains(texts::kPrintFailed + QLatin1Char('\n') + cell::texts::kNoDefaultPrinter + QLatin1Char('\n')))
      << stderrText.toStdString();
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(dialogs.calls.front().caption, texts::kHint);
  EXPECT_EQ(dialogs.calls.front().owner, window.get());
  EXPECT_EQ(snapshot(), before);
}

}  // namespace
