// The working tables: made afresh, dropped when present, the database's rules
// copied, the rule files looked for, and the gauge of "正在解析校核公式".
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "check/WorkingTables.h"
#include "tests/check/CheckFixture.h"
#include "tests/support/GoldenSql.h"
#include "tests/support/QStringPrint.h"

namespace {

QString programDir(const QTemporaryDir& dir) { return dir.path() + QLatin1Char('/'); }

void prepare(TestDatabase& db, RecordingProgress& progress, const QString& dir,
             QStringList* imported = nullptr) {
  platform::db::Query qry(db.connection());
  check::prepareWorkingTables(qry, progress, dir, [imported](const QString& path) {
    if (imported) *imported << path;
  });
}

}  // namespace

TEST(WorkingTables, AbsentTablesAreMadeWithoutDrops) {
  TestDatabase db;
  QTemporaryDir dir;
  RecordingProgress progress;
  StatementLog log(db.connection());
  prepare(db, progress, programDir(dir));
  EXPECT_EQ(log.sent, (QStringList{check::kContentExistsSql, golden::sql("create_tmp_content"),
                                   check::kElementExistsSql, golden::sql("create_tmp_formulaelement"),
                                   check::kFormulaExistsSql, golden::sql("create_tmp_formula"),
                                   golden::sql("copy_formulas"), golden::sql("copy_elements"),
                                   "ANALYZE TMP_FORMULAELEMENT", "ANALYZE TMP_FORMULA",
                                   "SET work_mem = '64MB'"}));
  EXPECT_EQ(progress.message, "正在解析校核公式");
  EXPECT_EQ(progress.maximum, 100);
  // A pump after the first settings, then one per step; 95 before the end sets 100.
  EXPECT_EQ(progress.pumped, (std::vector<int>{0, 15, 25, 35, 45, 55, 65, 75, 85, 95}));
  EXPECT_EQ(progress.value, 100);
  for (const char* table : {"TMP_CONTENT", "TMP_FORMULA", "TMP_FORMULAELEMENT"})
    EXPECT_EQ(db.column(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)), QStringList{"0"});
}

TEST(WorkingTables, PresentTablesAreDroppedAndMadeAgain) {
  TestDatabase db;
  QTemporaryDir dir;
  {
    RecordingProgress first;
    prepare(db, first, programDir(dir));
  }
  db.exec("insert into TMP_CONTENT (id,RPTID,RPTSCR,CONTENTSCR,CONTENTTYPE,CONTENTREVERT) values "
          "('x','18000700','第7表','earlier','c','')");
  db.exec("INSERT INTO TMP_FORMULA (S_FID) VALUES ('earlier')");
  db.exec("INSERT INTO TMP_FORMULAELEMENT (S_FRMLID, I_TYPE, I_LINE) VALUES ('earlier', 0, 1)");
  RecordingProgress progress;
  StatementLog log(db.connection());
  prepare(db, progress, programDir(dir));
  EXPECT_EQ(log.sent,
            (QStringList{check::kContentExistsSql, "drop table TMP_CONTENT;", golden::sql("create_tmp_content"),
                         check::kElementExistsSql, "drop table TMP_FORMULAELEMENT",
                         golden::sql("create_tmp_formulaelement"), check::kFormulaExistsSql, "drop table TMP_FORMULA",
                         golden::sql("create_tmp_formula"), golden::sql("copy_formulas"), golden::sql("copy_elements"),
                         "ANALYZE TMP_FORMULAELEMENT", "ANALYZE TMP_FORMULA",
                                   "SET work_mem = '64MB'"}));
  // The drop of TMP_CONTENT takes a step of its own: 105, held at 100.
  EXPECT_EQ(progress.pumped, (std::vector<int>{0, 15, 25, 35, 45, 55, 65, 75, 85, 95, 100}));
  for (const char* table : {"TMP_CONTENT", "TMP_FORMULA", "TMP_FORMULAELEMENT"})
    EXPECT_EQ(db.column(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)), QStringList{"0"});
}

TEST(WorkingTables, DatabaseRulesAreCopied) {
  TestDatabase db;
  // Rules of type 3 and 4 on templates 17...: their formulas are copied.
  db.exec("INSERT INTO RPTCHECKRULE VALUES ('17000700', 1, 3), ('17000700', 2, 4), "
          "('17000800', 1, 5), ('18000700', 1, 3), ('18000700', 2, 4), ('18000700', 3, 5)");
  db.exec("INSERT INTO RPTFORMULA VALUES "
          "('17000700', 1, 1, 'R1C1<R2C1', '<'), ('17000700', 1, 2, 'R1C1<=R2C1', '<='), "
          "('17000700', 1, 3, 'R1C1=R2C1', '='), ('17000700', 1, 4, 'R1C1>=R2C1', '>='), "
          "('17000700', 2, 5, 'R1C1>R2C1', '>'), ('17000700', 2, 6, 'R1C1<>R2C1', '<>'), "
          "('17000700', 2, 7, 'R1C1?R2C1', '?'), "
          "('17000800', 1, 1, 'type 5: not copied', '='), "
          "('18000700', 1, 1, 'template 18: not copied', '=')");
  // Elements of templates 1800... whose rule is of type 3 or 4.
  db.exec("INSERT INTO RPTFORMULAELEMENT VALUES "
          "('18000700', 1, 1, 1, 0, '18000700', 'T18000700R12C3', '+', 'p', 's'), "
          "('18000700', 1, 1, 2, 1, '18000700', '(R5C2)', '-', '', ''), "
          "('18000700', 1, 1, 3, 1, '18000400', '+(T18000400R7C11)', '', NULL, NULL), "
          "('18000700', 2, 4, 1, 0, '18000700', 'R123C45', NULL, NULL, NULL), "
          "('18000700', 3, 1, 1, 0, '18000700', 'R1C1', '+', NULL, NULL), "
          "('17000700', 1, 1, 1, 0, '17000700', 'R1C1', '+', NULL, NULL)");
  QTemporaryDir dir;
  RecordingProgress progress;
  prepare(db, progress, programDir(dir));
  EXPECT_EQ(db.rows("SELECT S_FID, I_CHECKTYPE, S_FDESCRIBE, COALESCE(CAST(I_FRELATE AS TEXT), 'NULL'), "
                    "S_FSORT, S_FTMID, S_OSTINT, I_ORELATE, S_OEXCEPT1, S_OEXCEPT2 FROM TMP_FORMULA "
                    "ORDER BY S_FID"),
            (QStringList{"17000700_1_1|3|R1C1<R2C1|0|0|17000700||99999||",
                         "17000700_1_2|3|R1C1<=R2C1|1|0|17000700||99999||",
                         "17000700_1_3|3|R1C1=R2C1|2|0|17000700||99999||",
                         "17000700_1_4|3|R1C1>=R2C1|3|0|17000700||99999||",
                         "17000700_2_5|4|R1C1>R2C1|4|0|17000700||99999||",
                         "17000700_2_6|4|R1C1<>R2C1|5|0|17000700||99999||",
                         "17000700_2_7|4|R1C1?R2C1|NULL|0|17000700||99999||"}));
  // A long expression loses its 9-character table prefix; a short one is
  // only cleaned of ( ) + -.
  EXPECT_EQ(db.rows("SELECT S_FRMLID, I_TYPE, I_LINE, S_BTIME, S_ETIME, S_TIME, S_DESCRIBE, S_TEMID, "
                    "I_COL, I_ROW, I_BALANCE, COALESCE(S_LFIX, 'NULL'), COALESCE(S_RFIX, 'NULL') "
                    "FROM TMP_FORMULAELEMENT ORDER BY S_FRMLID, I_TYPE, I_LINE"),
            (QStringList{"18000700_1_1|0|1|20160101|20161231|2016||18000700|3|12|1|p|s",
                         "18000700_1_1|1|2|20160101|20161231|2016||18000700|2|5|-1||",
                         "18000700_1_1|1|3|20160101|20161231|2016||18000400|11|7|1|NULL|NULL",
                         "18000700_2_4|0|1|20160101|20161231|2016||18000700|45|123|1|NULL|NULL"}));
}

TEST(WorkingTables, PresentRuleFilesGoToTheImportInOrder) {
  TestDatabase db;
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkpath("2016XML/checkRuler_13.xml"));  // a folder is no file
  for (const char* name : {"2016XML/checkRuler_14.xml", "2016XML/checkRuler_12.xml"}) {
    QFile f(dir.path() + "/" + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  RecordingProgress progress;
  QStringList imported;
  prepare(db, progress, programDir(dir), &imported);
  EXPECT_EQ(imported, (QStringList{programDir(dir) + "2016XML/checkRuler_12.xml",
                                   programDir(dir) + "2016XML/checkRuler_14.xml"}));
  EXPECT_EQ(progress.pumped.size(), 10u);  // each of the four files takes its step
}

TEST(WorkingTables, FailureLeavesWithTheDatabaseError) {
  TestDatabase db;
  db.exec("DROP TABLE RPTFORMULA");
  QTemporaryDir dir;
  RecordingProgress progress;
  StatementLog log(db.connection());
  try {
    prepare(db, progress, programDir(dir));
    FAIL() << "no failure";
  } catch (const platform::db::DbError& e) {
    EXPECT_TRUE(e.message().contains("rptformula", Qt::CaseInsensitive)) << e.what();
  }
  EXPECT_EQ(log.sent.back(), golden::sql("copy_formulas"));  // nothing after the failing statement
  EXPECT_EQ(db.column("SELECT COUNT(*) FROM TMP_FORMULA"), QStringList{"0"});
}

TEST(WorkingTables, StatisticsCoverTheImportedFormulas) {
  TestDatabase db;
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkpath("2016XML"));
  QFile f(dir.path() + "/2016XML/checkRuler_11.xml");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  RecordingProgress progress;
  platform::db::Query qry(db.connection());
  check::prepareWorkingTables(qry, progress, programDir(dir), [&db](const QString&) {
    for (int i = 0; i < 3; ++i) {
      db.exec(QStringLiteral("INSERT INTO TMP_FORMULA (S_FID) VALUES ('f%1')").arg(i));
      db.exec(QStringLiteral("INSERT INTO TMP_FORMULAELEMENT (S_FRMLID, I_TYPE, I_LINE) VALUES ('f%1', 0, 1)").arg(i));
    }
  });
  // The planner's row counts are those of the filled tables.
  EXPECT_EQ(db.column("SELECT CAST(reltuples AS INT) FROM pg_class WHERE relname IN "
                      "('tmp_formula', 'tmp_formulaelement') ORDER BY relname"),
            (QStringList{"3", "3"}));
  EXPECT_EQ(progress.value, 100);
}
