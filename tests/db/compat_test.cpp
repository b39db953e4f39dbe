// The stand-in report database accepts the statements of the checks as they
// are sent, and answers them as the original server would. Each test runs in a
// fresh database made from rc_empty (compatibility layer and schema, no data)
// and talks to it through the program's own ODBC layer.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include "platform/database.h"
#include "tests/support/GoldenSql.h"
#include "tests/support/TestDatabase.h"

using platform::db::DbError;
using platform::db::Query;

namespace {

int rowCount(TestDatabase& db, const QString& sql) {
  Query q(db.connection());
  q.setSql(sql);
  q.open();
  return q.recordCount();
}

class CompatTest : public ::testing::Test {
 protected:
  TestDatabase db;
};

TEST_F(CompatTest, IsnullTakesTheSecondValueOnlyForNull) {
  db.exec("CREATE TABLE t (val VARCHAR(20), n INTEGER)");
  db.exec("INSERT INTO t VALUES ('7', 3), (NULL, NULL), ('', -1)");
  EXPECT_EQ(db.column("SELECT ISNULL(val,'0') FROM t ORDER BY n"),
            (QStringList{"", "7", "0"}));  // NULLs sort last
  EXPECT_EQ(db.column("SELECT ISNULL(n,1) FROM t ORDER BY n"), (QStringList{"-1", "3", "1"}));
  // As the formula query uses it: the missing cell counts as '0', cast to an integer.
  EXPECT_EQ(db.column("SELECT CAST(ISNULL(CAST(NULL AS VARCHAR),'0') AS INT) *ISNULL(CAST(NULL AS INT),1)"),
            QStringList{"0"});
}

TEST_F(CompatTest, RoundOfAFloatPrintsAsTheRoundedDecimal) {
  struct Case {
    const char *num, *den;
    int decimals;
    const char* text;
  } cases[] = {{"1", "8.1", 6, "0.123457"}, {"3", "2", 6, "1.5"}, {"1", "3", 4, "0.3333"},
               {"2", "3", 6, "0.666667"},   {"5", "5", 6, "1"},   {"1", "7", 6, "0.142857"}};
  for (const Case& c : cases) {
    const QString sql = QStringLiteral("select cast(round(cast('%1' as float)/cast('%2' as float),%3) as text) as val")
                            .arg(QLatin1String(c.num), QLatin1String(c.den))
                            .arg(c.decimals);
    EXPECT_EQ(db.fields(sql, {"val"}), QStringList{QString::fromLatin1(c.text)}) << sql.toStdString();
  }
  // The one-argument and numeric forms keep their own meaning.
  EXPECT_EQ(db.rows("SELECT round(2.567, 1), round(cast(3.7 as float))"), QStringList{"2.6|4"});
}

TEST_F(CompatTest, IntegerTimesTextReadsTheTextAsANumber) {
  db.exec("CREATE TABLE t (row INTEGER, col INTEGER, val VARCHAR(20))");
  db.exec("INSERT INTO t VALUES (1, 1, '12'), (2, 1, '-3'), (3, 1, '00'), (4, 1, '2.5')");
  EXPECT_EQ(db.column("select sum(1 * val) from t"), QStringList{"11.5"});
  EXPECT_EQ(db.column("select sum((case when (row = '2' and col = '1') then -1 else 1 end) * val) from t "
                      "where row = '1' or row = '2'"),
            QStringList{"15"});
  // Plain integer arithmetic is untouched by the extra operator.
  EXPECT_EQ(db.rows("select 2 * 3, 2 * '4', -1 * 5"), QStringList{"6|8|-5"});
  // A text that is no number is refused, not read as 0.
  db.exec("INSERT INTO t VALUES (5, 1, 'x')");
  EXPECT_THROW(db.column("select sum(1 * val) from t"), DbError);
}

TEST_F(CompatTest, SubstrResultsGoIntoIntegerColumns) {
  db.exec("CREATE TABLE t (I_COL INTEGER, I_ROW INTEGER)");
  db.exec("INSERT INTO t SELECT SUBSTR(F.E, STRPOS(F.E, 'C')+1) AS SCOL,SUBSTR(F.E, 2, STRPOS(F.E, 'C')-2) AS SROW "
          "FROM (SELECT 'R12C3' AS E UNION ALL SELECT TRANSLATE('(R05C14)', '()+-', '')) AS F");
  EXPECT_EQ(db.rows("SELECT I_ROW, I_COL FROM t ORDER BY I_ROW"), (QStringList{"5|14", "12|3"}));
  // Quoted numbers go into INTEGER columns as well (the rule-file import writes them so).
  db.exec("INSERT INTO t (I_COL, I_ROW) VALUES ('-1', '7')");
  EXPECT_EQ(db.column("SELECT I_COL FROM t WHERE I_ROW = 7"), QStringList{"-1"});
  EXPECT_THROW(db.exec("INSERT INTO t SELECT SUBSTR('RxCy', 4), 1"), DbError);
}

TEST_F(CompatTest, UpperCaseTableNamesAreFoundInInformationSchema) {
  const QString test = QStringLiteral("SELECT * FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME ='TMP_CONTENT'");
  const QString create = golden::sql("create_tmp_content");
  EXPECT_EQ(rowCount(db, test), 0);
  db.exec(create);
  EXPECT_EQ(db.fields(test, {"TABLE_NAME"}), QStringList{"TMP_CONTENT"});
  // The name as PostgreSQL stores it stays listed too.
  EXPECT_EQ(rowCount(db, "SELECT * FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME ='tmp_content'"), 1);
  // The schema's own tables answer in upper case as well.
  EXPECT_EQ(rowCount(db, "SELECT * FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME ='RPTREPORTDATA'"), 1);
  db.exec("drop table TMP_CONTENT;");
  EXPECT_EQ(rowCount(db, test), 0);
  db.exec(create);
  EXPECT_EQ(rowCount(db, test), 1);
}

TEST_F(CompatTest, TextComparisonsAreByteComparisons) {
  db.exec("CREATE TABLE t (val VARCHAR(20))");
  db.exec("INSERT INTO t VALUES ('00'), ('0'), ('-1'), (''), ('0.0'), ('5'), ('10'), (' 7'), ('a'), ('B')");
  // val >'0' as the rules test a cell: 0, the empty text, negative numbers and
  // a leading blank fail; everything that sorts after the text 0 passes.
  EXPECT_EQ(db.column("SELECT val FROM t WHERE val >'0' ORDER BY val"),
            (QStringList{"0.0", "00", "10", "5", "B", "a"}));
  EXPECT_EQ(db.rows("SELECT '00' > '0', '-1' < '0', 'B' < 'a', '001.001' < '0010'"),
            QStringList{"1|1|1|1"});
}

TEST_F(CompatTest, OrganisationCodesSortAsBytes) {
  db.exec("INSERT INTO D01 (D0107, D0127, D0101, useful) VALUES "
          "('0010', '', 'e', '0'), ('001.001', '001', 'b', '0'), ('a01', '', 'g', '0'), "
          "('00.9', '', 'a', '0'), ('A01', '', 'f', '0'), ('001', NULL, 'c', '0'), ('001.001.001', '001.001', 'd', '0')");
  // A linguistic collation would ignore the dots and fold case; bytes do not.
  EXPECT_EQ(db.column("SELECT D0107 FROM D01 ORDER BY D0107"),
            (QStringList{"00.9", "001", "001.001", "001.001.001", "0010", "A01", "a01"}));
}

TEST_F(CompatTest, FieldsAreFoundByNameWhateverTheCase) {
  db.exec("INSERT INTO D01 (D0107, D0127, D0101, useful) VALUES ('001', NULL, '市委', '0'), ('001.001', '001', '区委', '1')");
  Query q(db.connection());
  q.setSql("select D0107,D0127,D0101 from D01 where useful='0' ORDER BY D0107");
  q.open();
  ASSERT_EQ(q.recordCount(), 1);
  EXPECT_EQ(q.fieldByName("D0107"), "001");
  EXPECT_EQ(q.fieldByName("d0107"), "001");
  EXPECT_EQ(q.fieldByName("D0101"), QString::fromUtf8("市委"));
  EXPECT_EQ(q.fieldByName("D0127"), "");  // NULL reads as an empty text
  EXPECT_THROW(q.fieldByName("D0199"), DbError);
}

// What the ODBC driver hands back, read as the program reads every field.
TEST_F(CompatTest, ValuesReadAsTheDatabasesOwnText) {
  Query q(db.connection());
  q.setSql("SELECT CAST(NULL AS INT) AS n, 7 AS i, CAST(-12 AS BIGINT) AS b, CAST(1.5 AS FLOAT) AS f, "
           "CAST(0.1 AS FLOAT) AS f2, CAST(123456789.25 AS FLOAT) AS f3, CAST(2.50 AS NUMERIC(5,2)) AS d, "
           "CAST('' AS VARCHAR) AS e, CAST(NULL AS VARCHAR) AS s");
  q.open();
  ASSERT_EQ(q.recordCount(), 1);
  EXPECT_EQ(q.value(0), "");
  EXPECT_EQ(q.fieldByName("i"), "7");
  EXPECT_EQ(q.fieldByName("b"), "-12");
  EXPECT_EQ(q.fieldByName("f"), "1.5");
  EXPECT_EQ(q.fieldByName("f2"), "0.1");
  EXPECT_EQ(q.fieldByName("f3"), "123456789.25");
  EXPECT_EQ(q.fieldByName("d"), "2.50");
  EXPECT_EQ(q.fieldByName("e"), "");
  EXPECT_EQ(q.fieldByName("s"), "");
}

TEST_F(CompatTest, TheStartupConnectionStringReachesTheDriverUnchanged) {
  // Provider and Extended Properties are ignored by the driver; the blanks
  // after "8000" and after "PORT=" are accepted.
  const auto connectionString = [this](const QString& password) {
    return QStringLiteral("Provider=MSDASQL.1;DRIVER={PostgreSQL Unicode};Extended Properties='';PWD=") + password +
           QStringLiteral(";Persist Security Info=True;UID=ADMIN;MaxVarcharSize=8000 ;DATABASE=") + db.name() +
           QStringLiteral(";SERVER=127.0.0.1;PORT= ") + QString::number(TestDatabase::port());
  };
  platform::db::Connection ok;
  ok.open(connectionString("reportcheck"));
  Query q(ok);
  q.setSql("SELECT current_database(), current_user");
  q.open();
  EXPECT_EQ(q.value(0), db.name());
  EXPECT_EQ(q.value(1), "ADMIN");

  platform::db::Connection wrong;
  try {
    wrong.open(connectionString("wrong-password"));
    FAIL() << "a wrong password was accepted";
  } catch (const DbError& e) {
    EXPECT_TRUE(e.message().contains("password authentication failed")) << e.what();
  }
}

TEST_F(CompatTest, ProblemRowLongerThanItsColumnIsRefused) {
  testsupport::createProblemTable(db);
  db.exec(QString::fromUtf8("insert into TMP_CONTENT (id,RPTID,RPTSCR,CONTENTSCR,CONTENTTYPE,CONTENTREVERT) values "
                            "('6F9619FF-8B86-D011-B42D-00C04FC964FF','18000700','第7表','甲 (A11>0) 补充资料1-4 =0',"
                            "'不应为零(应该有数据)','')"));
  EXPECT_EQ(db.column("SELECT CONTENTSCR FROM TMP_CONTENT"), QStringList{QString::fromUtf8("甲 (A11>0) 补充资料1-4 =0")});
  EXPECT_THROW(db.exec("insert into TMP_CONTENT (id,RPTID,RPTSCR,CONTENTSCR,CONTENTTYPE,CONTENTREVERT) values "
                       "('x','12345678901','a','b','c','')"),
               DbError);
}

}  // namespace
