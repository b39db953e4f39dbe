#pragma once
// The statements the program must send, as golden copies in tests/data/sql:
// one file each, written independently of the program's own builders, read by
// every test and benchmark that compares or needs them. A file holds one
// statement and a final newline that is not part of it.
#include <QFile>
#include <QString>

#include <stdexcept>

namespace golden {

// The statement in tests/data/sql/<name>.sql; raises when the file is missing.
inline QString sql(const char* name) {
  QFile f(QStringLiteral(RC_GOLDEN_SQL_DIR "/%1.sql").arg(QLatin1String(name)));
  if (!f.open(QIODevice::ReadOnly))
    throw std::runtime_error(std::string("no golden statement ") + name);
  QString text = QString::fromUtf8(f.readAll());
  if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
  return text;
}

// The formula statement with the condition on the chosen organisations
// ("" for all of them).
inline QString formulaStatement(const QString& filter) {
  return sql("formula_query").replace(QStringLiteral("{org_filter}"), filter);
}

}  // namespace golden

class TestDatabase;

namespace testsupport {

// The working tables as a check makes them, empty: TMP_CONTENT,
// TMP_FORMULAELEMENT and TMP_FORMULA.
void createWorkingTables(TestDatabase& db);
// TMP_CONTENT alone, empty.
void createProblemTable(TestDatabase& db);

}  // namespace testsupport
