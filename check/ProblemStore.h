#pragma once
// The problem table TMP_CONTENT, all of its statements in one place: whether
// it exists, its drop and its CREATE (sent by the working tables' preparation),
// storing problem rows one at a time or a check run's rows in multi-row
// INSERTs, and reading them back in register order.
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "platform/database.h"

namespace check {

// The statements, each sent exactly as written here.
extern const QString kContentExistsSql;
extern const QString kDropContentSql;
extern const QString kCreateContentSql;
// The problems in register order: by template id, category, description
// (each compared as text by the database).
extern const QString kSelectProblems;

// The INSERT of one problem row, every value a quoted literal.
QString problemInsertStatement(const QString& id, const QString& rptId, const QString& label,
                               const QString& text, const QString& category, const QString& reply);

// Told of a problem row the database refused, with the message for the user:
// "SQL已异常: " and the row's own INSERT.
using RefusedRow = std::function<void(const QString& message)>;

// Stores one problem row with a new identifier through qry (close, set, execute).
// A statement the database refuses goes to refused; the call then returns
// normally, so a run goes on. A lost connection is no refusal: its DbError
// leaves the call, so the run ends at once instead of failing row by row.
void storeProblem(platform::db::Query& qry, const QString& rptId, const QString& label,
                  const QString& text, const QString& category, const QString& reply,
                  const RefusedRow& refused);

// Rows per multi-row INSERT of a check run.
constexpr int kProblemRowsPerBatch = 1000;

// A check run's problem rows on their way to TMP_CONTENT: each row gets its
// identifier when it is added, and the rows go in one INSERT per batch (one
// statement, so one transaction): a round trip and a commit per thousand rows
// instead of per row. What is stored, and what the user is told of refused
// rows, is the same as row by row.
class ProblemBatch {
 public:
  ProblemBatch(platform::db::Query& qry, RefusedRow refused, int rowsPerBatch = kProblemRowsPerBatch);
  ProblemBatch(const ProblemBatch&) = delete;
  ProblemBatch& operator=(const ProblemBatch&) = delete;

  // Queues one row with a new identifier; sends the batch once it is full.
  void add(const QString& rptId, const QString& label, const QString& text, const QString& category,
           const QString& reply);
  // Sends the queued rows in one INSERT. When the database refuses it, every
  // row is sent again on its own, in order, and each refused row goes to
  // refused with its own INSERT. A lost connection is not retried: it raises
  // DbError, and the rows of the batch are dropped.
  void flush();
  int waiting() const { return static_cast<int>(rowStarts_.size()); }

 private:
  platform::db::Query& qry_;
  RefusedRow refused_;
  int rowsPerBatch_;
  QString sql_;                      // the batch's INSERT as it grows, row by row
  std::vector<qsizetype> rowStarts_;  // where each row's parenthesised values begin in it
};

// One problem row as the register shows it.
struct ProblemRow {
  QString table;        // RPTSCR, "表号"
  QString description;  // CONTENTSCR, "问题描述"
  QString category;     // CONTENTTYPE, "类别"
};

// Hands out the next problem into row; false when there are no more.
using RowSource = std::function<bool(ProblemRow&)>;

// The fields of kSelectProblems that the register shows (RPTSCR, CONTENTSCR,
// CONTENTTYPE): a query opened with only these (Query::open(kRegisterFields))
// does not read the identifiers and the other columns of every row.
extern const QStringList kRegisterFields;

// Walks an open query of kSelectProblems from its current row, reading RPTSCR,
// CONTENTSCR and CONTENTTYPE by name (NULL reads as ""). The query must
// outlive the source.
RowSource rowsOf(platform::db::Query& query);

}  // namespace check
