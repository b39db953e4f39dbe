#include "check/ProblemStore.h"

#include "check/CheckTexts.h"
#include "check/SqlText.h"
#include "platform/guid.h"

namespace check {

QString problemInsertStatement(const QString& id, const QString& rptId, const QString& label,
                               const QString& text, const QString& category, const QString& reply) {
  return QStringLiteral(
             "insert into TMP_CONTENT (id,RPTID,RPTSCR,CONTENTSCR,CONTENTTYPE,CONTENTREVERT) values (") +
         quoteLiteral(id) + QLatin1Char(',') + quoteLiteral(rptId) + QLatin1Char(',') +
         quoteLiteral(label) + QLatin1Char(',') + quoteLiteral(text) + QLatin1Char(',') +
         quoteLiteral(category) + QLatin1Char(',') + quoteLiteral(reply) + QLatin1Char(')');
}

void storeProblem(platform::db::Query& qry, const QString& rptId, const QString& label,
                  const QString& text, const QString& category, const QString& reply,
                  const RefusedRow& refused) {
  qry.close();
  qry.setSql(problemInsertStatement(platform::newGuidText(), rptId, label, text, category, reply));
  try {
    qry.execSql();
  } catch (const platform::db::DbError& e) {
    if (e.connectionLost()) throw;
    refused(texts::kSqlFailed + qry.sql());
  }
}

}  // namespace check
