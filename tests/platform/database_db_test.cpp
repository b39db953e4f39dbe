// The query layer against the real test cluster.
#include <gtest/gtest.h>

#include "platform/database.h"
#include "tests/support/QStringPrint.h"
#include "tests/support/TestDatabase.h"

using platform::db::DbError;
using platform::db::Query;

TEST(DatabaseDb, ReadsAllRowsFieldsByNameAndNullsAsEmpty) {
  TestDatabase db;
  db.exec(QStringLiteral("CREATE TABLE T1 (ID INTEGER, NAME VARCHAR(20), F FLOAT)"));
  db.exec(QStringLiteral("INSERT INTO T1 VALUES (1, '中文', 0.5), (2, NULL, NULL)"));
  Query q(db.connection());
  q.setSql(QStringLiteral("select * from T1 order by id"));
  q.open();
  ASSERT_EQ(q.recordCount(), 2);
  EXPECT_EQ(q.fieldByName(QStringLiteral("ID")), QStringLiteral("1"));
  EXPECT_EQ(q.fieldByName(QStringLiteral("name")), QStringLiteral("中文"));
  EXPECT_EQ(q.fieldByName(QStringLiteral("f")), QStringLiteral("0.5"));
  q.next();
  EXPECT_EQ(q.fieldByName(QStringLiteral("Name")), QString());
  EXPECT_EQ(q.fieldByName(QStringLiteral("F")), QString());
  q.next();
  EXPECT_TRUE(q.eof());
  EXPECT_THROW(q.fieldByName(QStringLiteral("id")), DbError);
}

TEST(DatabaseDb, FailuresCarryTheDatabaseMessageAndObserverSeesEveryStatement) {
  TestDatabase db;
  QStringList seen;
  db.connection().setStatementObserver([&](const QString& sql) { seen << sql; });
  Query q(db.connection());
  q.setSql(QStringLiteral("select * from NO_SUCH_TABLE"));
  try {
    q.open();
    FAIL() << "opened";
  } catch (const DbError& e) {
    EXPECT_TRUE(e.message().contains(QStringLiteral("no_such_table"), Qt::CaseInsensitive))
        << e.message().toStdString();
  }
  EXPECT_FALSE(q.isOpen());
  q.setSql(QStringLiteral("CREATE TABLE T2 (A INT)"));
  q.execSql();
  EXPECT_EQ(seen, (QStringList{QStringLiteral("select * from NO_SUCH_TABLE"),
                               QStringLiteral("CREATE TABLE T2 (A INT)")}));
}

TEST(DatabaseDb, WrongPasswordIsRefused) {
  TestDatabase db;
  DatabaseSettings s = db.settings();
  s.Password = QStringLiteral("wrong");
  platform::db::Connection c;
  EXPECT_THROW(c.open(BuildConnectionString(s)), DbError);
}

TEST(DatabaseDb, TransactionTakesEffectOnCommitOnly) {
  TestDatabase db;
  db.exec(QStringLiteral("CREATE TABLE T3 (A INT)"));
  {
    platform::db::Transaction t(db.connection());
    db.exec(QStringLiteral("INSERT INTO T3 VALUES (1)"));
  }  // not committed: rolled back
  {
    platform::db::Transaction t(db.connection());
    db.exec(QStringLiteral("INSERT INTO T3 VALUES (2)"));
    t.commit();
  }
  db.exec(QStringLiteral("INSERT INTO T3 VALUES (3)"));  // back to one statement at a time
  EXPECT_EQ(db.column(QStringLiteral("SELECT A FROM T3 ORDER BY A")), (QStringList{"2", "3"}));
}

// What the driver reports, with its SQLSTATE, for a statement the server
// refuses and for one sent after the server ended the session.
TEST(DatabaseDb, FailuresCarryTheirSqlStateAndNativeCode) {
  TestDatabase db;
  Query q(db.connection());
  const struct {
    const char* sql;
    const char* state;
  } refused[] = {{"select * from NO_SUCH_TABLE", "42P01"},
                 {"select 1/0", "22012"},
                 {"insert into x values ('", "42601"}};
  for (const auto& c : refused) {
    q.setSql(QString::fromUtf8(c.sql));
    try {
      q.open();
      ADD_FAILURE() << c.sql << " ran";
    } catch (const DbError& e) {
      EXPECT_EQ(e.sqlState(), QString::fromUtf8(c.state)) << c.sql;
      EXPECT_NE(e.nativeCode(), 0) << c.sql;
      EXPECT_FALSE(e.connectionLost()) << c.sql;
    }
  }
  EXPECT_FALSE(db.connection().lost());
}

TEST(DatabaseDb, EndedSessionIsLostUntilReopenedWithItsSetup) {
  TestDatabase db;
  platform::db::Connection c;
  c.open(db.connectionString(), {QStringLiteral("SET application_name = 'probe'")});
  db.terminateSession(c);
  Query q(c);
  q.setSql(QStringLiteral("SELECT 1"));
  // The first statement meets the server's termination, the next the driver's
  // own "connection lost": both say that the session is gone.
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      q.execSql();
      ADD_FAILURE() << "ran on an ended session";
    } catch (const DbError& e) {
      EXPECT_TRUE(e.connectionLost()) << e.sqlState().toStdString() << " " << e.what();
    }
    EXPECT_TRUE(c.lost());
  }
  c.reopen();
  EXPECT_FALSE(c.lost());
  q.setSql(QStringLiteral("SHOW application_name"));
  q.open();
  EXPECT_EQ(q.value(0), QStringLiteral("probe"));
}

TEST(DatabaseDb, RefusedSessionSetupFailsTheOpen) {
  TestDatabase db;
  platform::db::Connection c;
  try {
    c.open(db.connectionString(), {QStringLiteral("SET no_such_setting_at_all = on")});
    ADD_FAILURE() << "opened";
  } catch (const DbError& e) {
    EXPECT_TRUE(e.message().contains(QStringLiteral("no_such_setting_at_all"))) << e.what();
    EXPECT_FALSE(e.connectionLost());
  }
  EXPECT_FALSE(c.isOpen());
}

// Rows as "a|b|c" lines, each field marked null or not.
QStringList queryRows(Query& q) {
  QStringList out;
  for (q.open(); !q.eof(); q.next()) {
    QStringList fields;
    for (int i = 0; i < q.fieldCount(); ++i) fields << (q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i));
    out << fields.join(QLatin1Char('|'));
  }
  return out;
}

// The row-reading behaviours under each build of the driver: the Unicode one
// hands wide text over, the narrow one the bytes of the client encoding.
class DatabaseRows : public ::testing::TestWithParam<QString> {};

// Texts, numbers of every width, NULLs, empty texts, values repeated from the
// row above, a text longer than one read of the driver (a surrogate pair
// across the piece boundary of a wide read, a character across that of a
// narrow one), dates and booleans: each field as the driver's text of it.
TEST_P(DatabaseRows, FieldsReadAsTheDriversTextForEveryColumnType) {
  TestDatabase db(TestDatabase::Content::Empty, GetParam());
  EXPECT_EQ(db.connection().wideText(), GetParam() == kUnicodeDriver);
  db.exec(QStringLiteral("CREATE TABLE T4 (K INTEGER, T TEXT, V VARCHAR(1000), I INTEGER, B BIGINT, S SMALLINT, "
                         "N NUMERIC(12,4), F FLOAT, R REAL, D DATE, OK BOOLEAN)"));
  // A character outside the BMP whose two halves fall on both sides of the
  // first 4,095 code units read, and more than two reads in all; in UTF-8,
  // the 4,095th byte falls inside the 1,365th three-byte character.
  const QString longText = QString(4094, QChar(0x4E2D)) + QStringLiteral("😀a") + QString(5000, QLatin1Char('x'));
  db.exec(QStringLiteral("INSERT INTO T4 VALUES "
                         "(1, '中文', 'it''s', -5, 9007199254740993, -32768, 12345678.1250, 0.1, 1.5, "
                         "'2016-12-31', true), "
                         "(2, '', '', 0, 0, 0, 0, -2.5e-10, 0, NULL, false), "
                         "(3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL), "
                         "(4, '") + longText + QStringLiteral("', repeat('甲', 1000), 2147483647, -1, 7, -0.0001, "
                                                             "1e300, -3.25, '2000-01-01', NULL)"));
  Query q(db.connection());
  const QString long1000 = QString(1000, QChar(0x7532));
  const struct {
    const char* sql;
    QStringList rows;
  } reads[] = {
      {"select K, T, V, I, B, S, N, F, R from T4 order by K",
       {"1|中文|it's|-5|9007199254740993|-32768|12345678.1250|0.1|1.5", "2|||0|0|0|0.0000|-2.5e-10|0",
        "3|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>",
        "4|" + longText + "|" + long1000 + "|2147483647|-1|7|-0.0001|1e+300|-3.25"}},
      {"select K, D, OK from T4 order by K", {"1|2016-12-31|1", "2|<null>|0", "3|<null>|<null>", "4|2000-01-01|<null>"}},
      {"select count(*), sum(N), max(K) from T4", {"4|12345678.1249|4"}},
      // each row three times: values equal to the ones above them
      {"select T, I from T4, generate_series(1, 3) where K < 3 order by K",
       {"中文|-5", "中文|-5", "中文|-5", "|0", "|0", "|0"}},
      {"select * from T4 where K > 100", {}},
  };
  for (const auto& r : reads) {
    q.setSql(QString::fromUtf8(r.sql));
    EXPECT_EQ(queryRows(q), r.rows) << r.sql;
  }
  q.setSql(QString::fromUtf8(reads[0].sql));
  q.open();
  EXPECT_EQ(q.fieldByName(QStringLiteral("t")), QStringLiteral("中文"));
  EXPECT_EQ(q.fieldByName(QStringLiteral("b")), QStringLiteral("9007199254740993"));
  for (int row = 1; row < 4; ++row) q.next();
  EXPECT_EQ(q.fieldByName(QStringLiteral("T")), longText);
  EXPECT_EQ(q.value(q.fieldIndex(QStringLiteral("v"))), long1000);
  EXPECT_THROW(q.fieldIndex(QStringLiteral("nope")), DbError);

  // Named fields only, in the order asked for; a name asked twice reads its
  // value twice.
  q.setSql(QStringLiteral("select * from T4 where K < 4 order by K"));
  q.open({QStringLiteral("v"), QStringLiteral("K"), QStringLiteral("t"), QStringLiteral("k")});
  EXPECT_EQ(q.fieldCount(), 4);
  QStringList picked;
  for (; !q.eof(); q.next()) picked << QStringList{q.value(0), q.value(1), q.value(2), q.value(3)}.join('|');
  EXPECT_EQ(picked, (QStringList{"it's|1|中文|1", "|2||2", "|3||3"}));
  EXPECT_THROW(q.open({QStringLiteral("K"), QStringLiteral("nope")}), DbError);
}

// Chinese text written and read back through statements, and a failure's
// message in the server's words, with the table's Chinese name in it.
TEST_P(DatabaseRows, ChineseTextRoundTripsThroughStatementsAndMessages) {
  TestDatabase db(TestDatabase::Content::Empty, GetParam());
  db.exec(QStringLiteral("CREATE TABLE 表一 (名称 VARCHAR(20))"));
  db.exec(QStringLiteral("INSERT INTO 表一 VALUES ('党组织'), ('第7表')"));
  EXPECT_EQ(db.fields(QStringLiteral("SELECT 名称 FROM 表一 WHERE 名称 LIKE '党%'"), {QStringLiteral("名称")}),
            QStringList{"党组织"});
  try {
    db.exec(QStringLiteral("INSERT INTO 表一 VALUES ('超过二十个字符的名称超过二十个字符的名称超过')"));
    ADD_FAILURE() << "inserted";
  } catch (const DbError& e) {
    EXPECT_EQ(e.sqlState(), QStringLiteral("22001")) << e.what();
    EXPECT_TRUE(e.message().contains(QStringLiteral("character varying(20)"))) << e.what();
  }
  try {
    db.exec(QStringLiteral("SELECT * FROM 表二"));
    ADD_FAILURE() << "ran";
  } catch (const DbError& e) {
    EXPECT_TRUE(e.message().contains(QStringLiteral("\"表二\""))) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Drivers, DatabaseRows, ::testing::ValuesIn(kOdbcDrivers), testsupport::driverName);

// A narrow driver passes the client encoding's bytes through: a session whose
// client encoding is GBK sends and reads GBK, and the texts come out whole.
TEST(DatabaseDb, NarrowDriverReadsAndWritesInTheSessionsClientEncoding) {
  TestDatabase db(TestDatabase::Content::Empty, kAnsiDriver);
  platform::db::Connection c;
  c.open(db.connectionString(), {QStringLiteral("SET client_encoding = 'GBK'")});
  EXPECT_FALSE(c.wideText());
  Query q(c);
  q.setSql(QStringLiteral("CREATE TABLE T5 (A VARCHAR(10))"));
  q.execSql();
  q.setSql(QStringLiteral("INSERT INTO T5 VALUES ('中文甲')"));
  q.execSql();
  q.setSql(QStringLiteral("SELECT A, octet_length(convert_to(A, 'UTF8')), current_setting('client_encoding') FROM T5"));
  q.open();
  EXPECT_EQ(q.value(0), QStringLiteral("中文甲"));
  EXPECT_EQ(q.value(1), QStringLiteral("9"));  // stored as the three characters
  EXPECT_EQ(q.value(2), QStringLiteral("GBK"));
}
