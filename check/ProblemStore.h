#pragma once
// Storing one problem row in TMP_CONTENT.
#include <QString>

#include <functional>

#include "platform/database.h"

namespace check {

// The INSERT of one problem row, every value a quoted literal.
QString problemInsertStatement(const QString& id, const QString& rptId, const QString& label,
                               const QString& text, const QString& category, const QString& reply);

// Told of a problem row the database refused, with the message for the user:
// "SQL已异常: " and the statement.
using RefusedRow = std::function<void(const QString& message)>;

// Stores one problem row with a new identifier through qry (close, set, execute).
// A statement the database refuses goes to refused; the call then returns
// normally, so a run goes on. A lost connection is no refusal: its DbError
// leaves the call, so the run ends at once instead of failing row by row.
void storeProblem(platform::db::Query& qry, const QString& rptId, const QString& label,
                  const QString& text, const QString& category, const QString& reply,
                  const RefusedRow& refused);

}  // namespace check
