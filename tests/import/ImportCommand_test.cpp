// The import through the main window: rule files beside the program during
// the check command, and the single-file command with its open dialog.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "app/TPicture.h"
#include "app/UCheckEdit.h"
#include "cell/Sheet.h"
#include "cell/TCell.h"
#include "tests/check/CheckFixture.h"
#include "tests/import/ImportTestUtil.h"
#include "tests/support/MainWindowTest.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/WatchedFifo.h"

namespace {

const QString kDemoRules = QStringLiteral(RC_DEMO_RULE_DIR);

// Names of the organisations whose 2016 report of template 18000700 has
// B1 < B2 (a missing cell counts 0): those that breach F1101 of the demo rules.
const char* kF1101Breaches =
    "SELECT D0101 FROM D01 d WHERE (SELECT COALESCE(SUM(CASE x.ROW WHEN 1 THEN CAST(x.VAL AS INT) "
    "ELSE -CAST(x.VAL AS INT) END), 0) FROM RPTREPORT r JOIN RPTREPORTDATA x ON x.REPORTID = "
    "r.REPORTID WHERE r.ORGID = d.D0107 AND r.TEMID = '18000700' AND r.TIMEBEGIN = '20160101' "
    "AND r.TIMEEND = '20161231' AND x.COL = 2 AND x.ROW IN (1, 2)) < 0";
const char* kF1101Problems =
    "SELECT CONTENTSCR FROM TMP_CONTENT WHERE RPTID = '18000700' AND RPTSCR = '第7表' AND "
    "CONTENTTYPE = '校核未通过' AND CONTENTSCR LIKE '%：第7表B1应大于等于B2'";

class ImportCommand : public MainWindowTest {
 protected:
  ImportCommand() : MainWindowTest(TestDatabase::Content::Demo) {}
  void prepare() override { ASSERT_TRUE(QDir(dir.path()).mkdir("2016XML")); }

  QString ruleFile(int n) { return dir.filePath(QStringLiteral("2016XML/checkRuler_%1.xml").arg(n)); }
  void copyDemoRule(int n) {
    ASSERT_TRUE(QFile::copy(kDemoRules + QStringLiteral("/checkRuler_%1.xml").arg(n), ruleFile(n)));
  }
  int count(const QString& sql) { return db.column(sql).front().toInt(); }
  static QStringList sorted(QStringList l) {
    l.sort();
    return l;
  }
  // Expected texts of F1101's problem rows.
  QStringList f1101Expected() {
    QStringList out;
    for (const QString& name : db.column(kF1101Breaches)) out << name + "：第7表B1应大于等于B2";
    return sorted(out);
  }
  int registerRows() { return window->cell().sheet().rowCount() - 4; }  // title, header, signature
  static bool checkRan(const StatementLog& log) {
    for (const QString& s : log.sent)
      if (s.startsWith("SELECT I_CHECKTYPE")) return true;
    return false;
  }
};

}  // namespace

TEST_F(ImportCommand, DemoRuleFilesJoinTheCheck) {
  for (int n = 11; n <= 14; ++n) copyDemoRule(n);
  window->picture("imgJH")->click();
  EXPECT_TRUE(dialogs.calls.empty()) << dialogs.calls.front().text.toStdString();

  // Every formula of every file is in the working tables; F1303 names no
  // template and stands once per template of type 1800.
  for (const char* id : {"F1101", "F1102", "F1103", "F1201", "F1202", "F1203", "F1301", "F1302",
                         "F1401", "F1402", "F1403"})
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TMP_FORMULA WHERE S_FID LIKE '%1\\_%'").arg(id)), 1)
        << id;
  EXPECT_EQ(count("SELECT COUNT(*) FROM TMP_FORMULA WHERE S_FID LIKE 'F1303\\_%'"), 19);
  EXPECT_TRUE(db.column("SELECT S_FID FROM TMP_FORMULA f WHERE S_FID LIKE 'F%' AND NOT EXISTS "
                        "(SELECT 1 FROM TMP_FORMULAELEMENT e WHERE e.S_FRMLID = f.S_FID)")
                  .isEmpty());

  // Some organisations breach F1101, not all, and exactly those are listed.
  const QStringList expected = f1101Expected();
  EXPECT_FALSE(expected.isEmpty());
  EXPECT_LT(expected.size(), count("SELECT COUNT(*) FROM D01"));
  EXPECT_EQ(sorted(db.column(kF1101Problems)), expected);

  // Each file adds problems, and the register lists them with the rest.
  for (const char* text : {"第7表B1应大于等于B2", "第8表B1应等于B2+B3-B4", "第16表A20应大于等于B20",
                           "第18表A4应等于第19表A4"})
    EXPECT_GT(count(QStringLiteral("SELECT COUNT(*) FROM TMP_CONTENT WHERE CONTENTSCR LIKE '%%1%'").arg(text)), 0)
        << text;
  EXPECT_EQ(registerRows(), count("SELECT COUNT(*) FROM TMP_CONTENT"));
}

TEST_F(ImportCommand, FailingFilesAreReportedAndTheNextFileStillImported) {
  writeBytes(ruleFile(11), "<checkplan><formula id=\"X\">");  // not well formed
  // checkRuler_12.xml is missing: skipped without a word.
  copyDemoRule(13);
  // The database refuses the second element: the file failed and none of it stays.
  writeBytes(ruleFile(14), planWith("<content>$D</content><control/><item operator=\"2\">"
                                    "<element rptId=\"18000700\" itype=\"0\" row=\"1\" col=\"1\"/>"
                                    "<element rptId=\"18000700\" itype=\"1\" row=\"x\" col=\"1\"/>"
                                    "</item>", "BAD"));
  window->picture("imgJH")->click();

  const QString last = window->lastImportSql();
  EXPECT_TRUE(last.startsWith("insert into TMP_FORMULA (") && last.endsWith("')\n")) << last.toStdString();
  EXPECT_TRUE(last.contains("'BAD_"));
  ASSERT_EQ(dialogs.calls.size(), 3u);
  // File 11 failed before any statement was ever sent: no empty box, only
  // the failure.
  EXPECT_EQ(dialogs.calls[0].kind, DialogCall::Information);
  EXPECT_EQ(dialogs.calls[0].text, "导入失败，请重新导入！");
  EXPECT_EQ(dialogs.calls[0].caption, "提示");
  EXPECT_EQ(dialogs.calls[1].kind, DialogCall::Plain);
  EXPECT_EQ(dialogs.calls[1].text, last);
  EXPECT_EQ(dialogs.calls[2].kind, DialogCall::Information);
  EXPECT_EQ(dialogs.calls[2].text, "导入失败，请重新导入！");

  // File 13 came in whole, and the check ran to the end.
  EXPECT_EQ(count("SELECT COUNT(*) FROM TMP_FORMULA WHERE S_FID LIKE 'F13%'"), 21);
  EXPECT_EQ(count("SELECT COUNT(*) FROM TMP_FORMULA WHERE S_FID LIKE 'BAD\\_%'"), 0);
  EXPECT_EQ(count("SELECT COUNT(*) FROM TMP_FORMULAELEMENT WHERE S_FRMLID LIKE 'BAD\\_%'"), 0);
  EXPECT_GT(count("SELECT COUNT(*) FROM TMP_CONTENT WHERE CONTENTSCR LIKE '%第16表A20应大于等于B20'"), 0);
  EXPECT_EQ(registerRows(), count("SELECT COUNT(*) FROM TMP_CONTENT"));
  EXPECT_TRUE(window->formulaSqlList().isEmpty());
  EXPECT_TRUE(window->elementSqlList().isEmpty());

  // LastImportSql outlives the run: file 11 of the next check shows it.
  dialogs.calls.clear();
  window->picture("imgJH")->click();
  ASSERT_EQ(dialogs.calls.size(), 4u);
  EXPECT_EQ(dialogs.calls[0].kind, DialogCall::Plain);
  EXPECT_EQ(dialogs.calls[0].text, last);
  EXPECT_EQ(dialogs.calls[1].text, "导入失败，请重新导入！");
}

// A FIFO (a named pipe) is no rule file: chosen for the single-file import it
// is refused at once with the format message and no check follows; beside
// the program it is skipped as a missing file is. Each within the watchdog's
// bound, which would otherwise end a wait for a writer.
TEST_F(ImportCommand, FifoIsRefusedAsTheChosenFileAndSkippedAsARuleFile) {
  window->picture("imgJH")->click();  // the working tables stand
  ASSERT_TRUE(dialogs.calls.empty());

  const QString chosen = dir.filePath("pipe.xml");
  {
    WatchedFifo fifo(chosen);
    dialogs.calls.clear();
    dialogs.fileAnswers = {chosen};
    StatementLog log(window->connection());
    window->btnReadXMLClick();
    EXPECT_FALSE(fifo.fired()) << "the import waited on the FIFO";
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[1].kind, DialogCall::Information);
    EXPECT_EQ(dialogs.calls[1].text, "导入文件格式不对，无法导入");
    EXPECT_FALSE(checkRan(log));
  }

  copyDemoRule(11);
  {
    WatchedFifo fifo(ruleFile(12));
    dialogs.calls.clear();
    window->picture("imgJH")->click();
    EXPECT_FALSE(fifo.fired()) << "the check waited on the FIFO";
    EXPECT_TRUE(dialogs.calls.empty()) << dialogs.calls.front().text.toStdString();
  }
  EXPECT_EQ(count("SELECT COUNT(*) FROM TMP_FORMULA WHERE S_FID LIKE 'F1101\\_%'"), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM TMP_FORMULA WHERE S_FID LIKE 'F12%'"), 0);
  EXPECT_EQ(registerRows(), count("SELECT COUNT(*) FROM TMP_CONTENT"));
}

TEST_F(ImportCommand, SingleFileJoinsTheTablesAsTheyStandAndChecks) {
  window->picture("imgJH")->click();  // no rule files yet
  ASSERT_TRUE(dialogs.calls.empty());
  const int before = count("SELECT COUNT(*) FROM TMP_CONTENT");

  dialogs.fileAnswers = {kDemoRules + "/checkRuler_11.xml"};
  window->btnReadXMLClick();
  ASSERT_EQ(dialogs.calls.size(), 2u);
  EXPECT_EQ(dialogs.calls[0].kind, DialogCall::Open);
  EXPECT_EQ(dialogs.calls[0].options.filter, "报表校核计划文件(.xml)|*.xml");
  EXPECT_EQ(dialogs.calls[1].kind, DialogCall::Information);
  EXPECT_EQ(dialogs.calls[1].text, "插入完成！");
  EXPECT_EQ(dialogs.calls[1].caption, "提示");

  // The earlier rows stay, the run's rows come beside them.
  EXPECT_EQ(count("SELECT COUNT(*) FROM TMP_FORMULA WHERE S_FID LIKE 'F1101\\_%'"), 1);
  EXPECT_EQ(sorted(db.column(kF1101Problems)), f1101Expected());
  const int after = count("SELECT COUNT(*) FROM TMP_CONTENT");
  EXPECT_GT(after, 2 * before);
  EXPECT_EQ(registerRows(), after);

  // The same file again: its formulas a second time, under new keys.
  dialogs.fileAnswers = {kDemoRules + "/checkRuler_11.xml"};
  window->btnReadXMLClick();
  EXPECT_EQ(dialogs.texts(DialogCall::Information).back(), "插入完成！");
  EXPECT_EQ(count("SELECT COUNT(DISTINCT S_FID) FROM TMP_FORMULA WHERE S_FID LIKE 'F1101\\_%'"), 2);
  EXPECT_EQ(db.column(kF1101Problems).size(), 3 * f1101Expected().size());
}

TEST_F(ImportCommand, SingleFileFailuresSayTheFormatIsWrongAndRunNoCheck) {
  const QString malformed = dir.filePath("malformed.xml");
  writeBytes(malformed, "<checkplan><formula>");
  const QString refused = dir.filePath("refused.xml");
  writeBytes(refused, planWith("<content/><control/><item operator=\"2\"><element rptId=\"18000700\" "
                               "itype=\"0\" row=\"x\" col=\"1\"/></item>"));
  const QString good = kDemoRules + "/checkRuler_11.xml";
  const struct {
    const char* name;
    bool prepare;  // working tables made by a check first
    QString file;
  } cases[] = {
      {"file format", true, malformed},
      {"database refuses a statement", true, refused},
      {"no working tables", false, good},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.prepare) window->picture("imgJH")->click();
    else db.exec("DROP TABLE IF EXISTS TMP_FORMULA");
    dialogs.calls.clear();
    dialogs.fileAnswers = {c.file};
    StatementLog log(window->connection());
    window->btnReadXMLClick();
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[1].kind, DialogCall::Information);
    EXPECT_EQ(dialogs.calls[1].text, "导入文件格式不对，无法导入");
    EXPECT_EQ(dialogs.calls[1].caption, "提示");
    EXPECT_FALSE(checkRan(log));
    EXPECT_TRUE(window->formulaSqlList().isEmpty());
    EXPECT_TRUE(window->elementSqlList().isEmpty());
  }

  // Cancel: nothing is read or sent.
  dialogs.calls.clear();
  dialogs.fileAnswers = {std::nullopt};
  StatementLog log(window->connection());
  window->btnReadXMLClick();
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(dialogs.calls[0].kind, DialogCall::Open);
  EXPECT_TRUE(log.sent.isEmpty());
}
