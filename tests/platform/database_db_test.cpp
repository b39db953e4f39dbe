// The query layer against the real test cluster.
#include <gtest/gtest.h>

#include "platform/database.h"
#include "tests/support/TestDatabase.h"

using platform::db::DbError;
using platform::db::Query;

TEST(database_db, ReadsAllRowsFieldsByNameAndNullsAsEmpty) {
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

TEST(database_db, FailuresCarryTheDatabaseMessageAndObserverSeesEveryStatement) {
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

TEST(database_db, WrongPasswordIsRefused) {
  TestDatabase db;
  DatabaseSettings s = db.settings();
  s.Password = QStringLiteral("wrong");
  platform::db::Connection c;
  EXPECT_THROW(c.open(BuildConnectionString(s)), DbError);
}

TEST(database_db, TransactionTakesEffectOnCommitOnly) {
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
