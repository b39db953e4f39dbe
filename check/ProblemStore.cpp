#include "check/ProblemStore.h"

#include <utility>

#include "check/CheckTexts.h"
#include "check/SqlText.h"
#include "platform/guid.h"

namespace check {

const QString kContentExistsSql =
    QStringLiteral("SELECT * FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME ='TMP_CONTENT'");
const QString kDropContentSql = QStringLiteral("drop table TMP_CONTENT;");
const QString kCreateContentSql = QStringLiteral(
    "CREATE TABLE TMP_CONTENT(id varchar(100),RPTID VARCHAR(10),RPTSCR VARCHAR(1000),CONTENTSCR "
    "VARCHAR(1000),CONTENTTYPE VARCHAR(1000),CONTENTREVERT VARCHAR(500),PRIMARY KEY(id))");
const QString kSelectProblems =
    QStringLiteral("select * from TMP_CONTENT order by rptid,CONTENTTYPE,CONTENTSCR");

namespace {

const QString kInsertHead = QStringLiteral(
    "insert into TMP_CONTENT (id,RPTID,RPTSCR,CONTENTSCR,CONTENTTYPE,CONTENTREVERT) values ");

// One row's values in parentheses, each a quoted literal.
QString rowValues(const QString& id, const QString& rptId, const QString& label, const QString& text,
                  const QString& category, const QString& reply) {
  return QLatin1Char('(') + quoteLiteral(id) + QLatin1Char(',') + quoteLiteral(rptId) + QLatin1Char(',') +
         quoteLiteral(label) + QLatin1Char(',') + quoteLiteral(text) + QLatin1Char(',') +
         quoteLiteral(category) + QLatin1Char(',') + quoteLiteral(reply) + QLatin1Char(')');
}

void send(platform::db::Query& qry, const QString& sql) {
  qry.close();
  qry.setSql(sql);
  qry.execSql();
}

// Sends one row's INSERT; a refusal goes to refused, a lost connection is raised.
void sendRow(platform::db::Query& qry, const QString& sql, const RefusedRow& refused) {
  try {
    send(qry, sql);
  } catch (const platform::db::DbError& e) {
    if (e.connectionLost()) throw;
    refused(texts::kSqlFailed + sql);
  }
}

}  // namespace

QString problemInsertStatement(const QString& id, const QString& rptId, const QString& label,
                               const QString& text, const QString& category, const QString& reply) {
  return kInsertHead + rowValues(id, rptId, label, text, category, reply);
}

void storeProblem(platform::db::Query& qry, const QString& rptId, const QString& label,
                  const QString& text, const QString& category, const QString& reply,
                  const RefusedRow& refused) {
  sendRow(qry, problemInsertStatement(platform::newGuidText(), rptId, label, text, category, reply),
          refused);
}

ProblemBatch::ProblemBatch(platform::db::Query& qry, RefusedRow refused, int rowsPerBatch)
    : qry_(qry), refused_(std::move(refused)), rowsPerBatch_(rowsPerBatch < 1 ? 1 : rowsPerBatch) {
  rows_.reserve(static_cast<size_t>(rowsPerBatch_));
}

void ProblemBatch::add(const QString& rptId, const QString& label, const QString& text,
                       const QString& category, const QString& reply) {
  rows_.push_back(rowValues(platform::newGuidText(), rptId, label, text, category, reply));
  if (static_cast<int>(rows_.size()) >= rowsPerBatch_) flush();
}

void ProblemBatch::flush() {
  if (rows_.empty()) return;
  std::vector<QString> rows;
  rows.swap(rows_);
  rows_.reserve(static_cast<size_t>(rowsPerBatch_));
  if (rows.size() == 1) {  // a batch of one row is that row's own INSERT
    sendRow(qry_, kInsertHead + rows.front(), refused_);
    return;
  }
  qsizetype length = kInsertHead.size();
  for (const QString& r : rows) length += r.size() + 1;
  QString sql;
  sql.reserve(length);
  sql += kInsertHead;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) sql += QLatin1Char(',');
    sql += rows[i];
  }
  try {
    send(qry_, sql);
    return;
  } catch (const platform::db::DbError& e) {
    if (e.connectionLost()) throw;
  }
  // The statement took effect wholly or not at all: row by row now, so that
  // only the rows the database refuses stay out, each with its own message.
  for (const QString& r : rows) sendRow(qry_, kInsertHead + r, refused_);
}

RowSource rowsOf(platform::db::Query& query) {
  return [&query](ProblemRow& row) {
    if (query.eof()) return false;
    row.table = query.fieldByName(QStringLiteral("RPTSCR"));
    row.description = query.fieldByName(QStringLiteral("CONTENTSCR"));
    row.category = query.fieldByName(QStringLiteral("CONTENTTYPE"));
    query.next();
    return true;
  };
}

}  // namespace check
