#include "check/ProblemStore.h"

#include <array>
#include <iterator>
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

// The register's fields, each with the member of ProblemRow it fills.
struct RegisterField {
  const char* name;
  QString ProblemRow::*member;
};
constexpr RegisterField kFields[] = {{"RPTSCR", &ProblemRow::table},
                                     {"CONTENTSCR", &ProblemRow::description},
                                     {"CONTENTTYPE", &ProblemRow::category}};
constexpr size_t kFieldCount = std::size(kFields);

QStringList fieldNames() {
  QStringList names;
  for (const RegisterField& f : kFields) names.append(QLatin1String(f.name));
  return names;
}

const QString kInsertHead = QStringLiteral(
    "insert into TMP_CONTENT (id,RPTID,RPTSCR,CONTENTSCR,CONTENTTYPE,CONTENTREVERT) values ");

// Appends one row's values in parentheses, each a quoted literal.
void appendRowValues(QString& out, const QString& id, const QString& rptId, const QString& label,
                     const QString& text, const QString& category, const QString& reply) {
  out += QLatin1Char('(');
  appendQuoted(out, id);
  for (const QString* v : {&rptId, &label, &text, &category, &reply}) {
    out += QLatin1Char(',');
    appendQuoted(out, *v);
  }
  out += QLatin1Char(')');
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

const QStringList kRegisterFields = fieldNames();

QString problemInsertStatement(const QString& id, const QString& rptId, const QString& label,
                               const QString& text, const QString& category, const QString& reply) {
  QString sql = kInsertHead;
  appendRowValues(sql, id, rptId, label, text, category, reply);
  return sql;
}

void storeProblem(platform::db::Query& qry, const QString& rptId, const QString& label,
                  const QString& text, const QString& category, const QString& reply,
                  const RefusedRow& refused) {
  sendRow(qry, problemInsertStatement(platform::newGuidText(), rptId, label, text, category, reply),
          refused);
}

ProblemBatch::ProblemBatch(platform::db::Query& qry, RefusedRow refused, int rowsPerBatch)
    : qry_(qry), refused_(std::move(refused)), rowsPerBatch_(rowsPerBatch < 1 ? 1 : rowsPerBatch) {
  rowStarts_.reserve(static_cast<size_t>(rowsPerBatch_));
}

void ProblemBatch::add(const QString& rptId, const QString& label, const QString& text,
                       const QString& category, const QString& reply) {
  if (rowStarts_.empty())
    sql_ = kInsertHead;
  else
    sql_ += QLatin1Char(',');
  rowStarts_.push_back(sql_.size());
  appendRowValues(sql_, platform::newGuidText(), rptId, label, text, category, reply);
  if (static_cast<int>(rowStarts_.size()) >= rowsPerBatch_) flush();
}

void ProblemBatch::flush() {
  if (rowStarts_.empty()) return;
  // Taken out first: a lost connection drops the batch, and the next row
  // starts a new one.
  const QString sql = std::exchange(sql_, QString());
  std::vector<qsizetype> starts;
  starts.swap(rowStarts_);
  rowStarts_.reserve(static_cast<size_t>(rowsPerBatch_));
  if (starts.size() == 1) {  // a batch of one row is that row's own INSERT
    sendRow(qry_, sql, refused_);
    return;
  }
  try {
    send(qry_, sql);
    return;
  } catch (const platform::db::DbError& e) {
    if (e.connectionLost()) throw;
  }
  // The statement took effect wholly or not at all: row by row now, so that
  // only the rows the database refuses stay out, each with its own message.
  for (size_t i = 0; i < starts.size(); ++i) {
    const qsizetype end = i + 1 < starts.size() ? starts[i + 1] - 1 : sql.size();  // before the ","
    sendRow(qry_, kInsertHead + sql.mid(starts[i], end - starts[i]), refused_);
  }
}

RowSource rowsOf(platform::db::Query& query) {
  // The fields are found by name once, on the first row.
  return [&query, found = false, index = std::array<int, kFieldCount>{}](ProblemRow& row) mutable {
    if (query.eof()) return false;
    if (!found) {
      for (size_t i = 0; i < kFieldCount; ++i) index[i] = query.fieldIndex(QLatin1String(kFields[i].name));
      found = true;
    }
    for (size_t i = 0; i < kFieldCount; ++i) row.*kFields[i].member = query.value(index[i]);
    query.next();
    return true;
  };
}

}  // namespace check
