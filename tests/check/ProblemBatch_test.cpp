// A check run's problem rows in multi-row INSERTs: what is stored and what
// the user is told of refused rows must be what single-row INSERTs give; a
// lost connection is not retried.
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <vector>

#include "check/ProblemStore.h"
#include "tests/check/CheckFixture.h"
#include "tests/support/QStringPrint.h"

namespace {

struct Row {
  const char* rptId;
  const char* label;
  const char* text;
};

// The third row's template id is longer than RPTID's 10 characters: the
// database refuses it, and with it any batch that holds it.
const std::vector<Row> kRows = {{"18000700", "第7表", "甲 O'Neil"},
                                {"18000400", "第4表", "乙"},
                                {"18000700000", "第70表", "丙 refused"},
                                {"18001500", "第15表", "丁"},
                                {"18000800", "第8表", "戊"}};

const QString kStored = QStringLiteral(
    "SELECT RPTID, RPTSCR, CONTENTSCR, CONTENTTYPE, CONTENTREVERT FROM TMP_CONTENT "
    "ORDER BY rptid,CONTENTTYPE,CONTENTSCR");

// A message with its row identifier blanked, so messages of two runs compare.
QString withoutId(QString message) {
  static const QRegularExpression id(QStringLiteral("'[0-9A-F-]{36}'"));
  return message.replace(id, QStringLiteral("'ID'"));
}

struct Outcome {
  QStringList stored;
  QStringList messages;
  QStringList sent;
};

// Stores kRows (batched when rowsPerBatch > 0, else one storeProblem each)
// in a fresh TMP_CONTENT.
Outcome store(TestDatabase& db, int rowsPerBatch) {
  db.exec("DROP TABLE IF EXISTS TMP_CONTENT");
  testsupport::createProblemTable(db);
  Outcome out;
  const auto refused = [&out](const QString& m) { out.messages << withoutId(m); };
  platform::db::Query qry(db.connection());
  StatementLog log(db.connection());
  if (rowsPerBatch > 0) {
    check::ProblemBatch batch(qry, refused, rowsPerBatch);
    for (const Row& r : kRows) batch.add(r.rptId, r.label, r.text, "类别", "");
    batch.flush();
    EXPECT_EQ(batch.waiting(), 0);
  } else {
    for (const Row& r : kRows) check::storeProblem(qry, r.rptId, r.label, r.text, "类别", "", refused);
  }
  out.sent = log.sent;
  out.stored = db.rows(kStored);
  return out;
}

}  // namespace

TEST(ProblemBatch, RefusedRowInTheMiddleGivesWhatSingleRowInsertsGive) {
  TestDatabase db;
  const Outcome single = store(db, 0);
  ASSERT_EQ(single.stored.size(), 4);
  ASSERT_EQ(single.messages,
            QStringList{"SQL已异常: insert into TMP_CONTENT (id,RPTID,RPTSCR,CONTENTSCR,CONTENTTYPE,"
                        "CONTENTREVERT) values ('ID','18000700000','第70表','丙 refused','类别','')"});
  struct Case {
    int rowsPerBatch;
    int statements;  // batches sent, then the rows of the refused batch one by one
  } cases[] = {{1000, 1 + 5}, {5, 1 + 5}, {2, 3 + 2}, {1, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rowsPerBatch);
    const Outcome batched = store(db, c.rowsPerBatch);
    EXPECT_EQ(batched.stored, single.stored);
    EXPECT_EQ(batched.messages, single.messages);
    EXPECT_EQ(batched.sent.size(), c.statements);
  }
  // The batch and the rows it was retried with carry the same identifiers.
  const Outcome batched = store(db, 1000);
  QStringList retried = batched.sent.mid(1);
  for (QString& s : retried) s = s.mid(s.indexOf(QLatin1String(" values ")) + 8);
  EXPECT_EQ(batched.sent[0].mid(batched.sent[0].indexOf(QLatin1String(" values ")) + 8),
            retried.join(QLatin1Char(',')));
}

TEST(ProblemBatch, FullBatchesGoAsTheyFillAndOneStatementEach) {
  TestDatabase db;
  testsupport::createProblemTable(db);
  platform::db::Query qry(db.connection());
  QStringList messages;
  StatementLog log(db.connection());
  check::ProblemBatch batch(qry, [&messages](const QString& m) { messages << m; }, 3);
  for (int i = 0; i < 7; ++i) batch.add("18000700", "第7表", QString::number(i), "类别", "");
  EXPECT_EQ(log.sent.size(), 2);  // rows 0-2 and 3-5; row 6 waits
  EXPECT_EQ(batch.waiting(), 1);
  batch.flush();
  batch.flush();  // nothing waits: nothing sent
  ASSERT_EQ(log.sent.size(), 3);
  EXPECT_EQ(log.sent[0].count(QStringLiteral("','18000700','第7表','")), 3);
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(db.column("SELECT CONTENTSCR FROM TMP_CONTENT ORDER BY CONTENTSCR"),
            (QStringList{"0", "1", "2", "3", "4", "5", "6"}));
}

TEST(ProblemBatch, LostConnectionIsNotRetried) {
  TestDatabase db;
  testsupport::createProblemTable(db);
  platform::db::Connection c;
  c.open(db.connectionString());
  platform::db::Query qry(c);
  qry.setSql("SELECT pg_backend_pid()");
  qry.open();
  const QString pid = qry.value(0);
  QStringList messages;
  check::ProblemBatch batch(qry, [&messages](const QString& m) { messages << m; });
  for (const Row& r : kRows) batch.add(r.rptId, r.label, r.text, "类别", "");
  db.exec(QStringLiteral("SELECT pg_terminate_backend(%1, 5000)").arg(pid));
  StatementLog log(c);
  try {
    batch.flush();
    FAIL() << "no failure";
  } catch (const platform::db::DbError& e) {
    EXPECT_TRUE(e.connectionLost()) << e.what();
  }
  EXPECT_EQ(log.sent.size(), 1);  // the batch alone, no row sent again
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(batch.waiting(), 0);
  // A refusal on a live connection is no lost connection.
  platform::db::Query live(db.connection());
  live.setSql("SELECT * FROM no_such_table");
  try {
    live.open();
    FAIL() << "no failure";
  } catch (const platform::db::DbError& e) {
    EXPECT_FALSE(e.connectionLost());
    EXPECT_EQ(e.sqlState(), "42P01");
  }
}
