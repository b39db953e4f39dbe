#include "platform/database.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <sql.h>
#include <sqlext.h>

#include <atomic>
#include <optional>

namespace platform::db {
namespace {

QString errorText(const QSqlError& e) {
  QString text = e.databaseText().trimmed();
  if (text.isEmpty()) text = e.driverText().trimmed();
  if (text.isEmpty()) text = e.text().trimmed();
  return text;
}

// Qt's ODBC driver keeps the native code of a failure but drops its SQLSTATE,
// so the state is read back from the handle's first diagnostic record, which
// stays until the next call on that handle. handle is what Qt gives for the
// statement or the connection: an SQLHANDLE, or nothing once it is freed.
DbError makeError(const QSqlError& e, const QVariant& handle, SQLSMALLINT handleType) {
  QString state;
  // Several records give "1;35": the first is the one that made the call fail.
  int native = e.nativeErrorCode().section(QLatin1Char(';'), 0, 0).toInt();
  if (handle.isValid() && handle.metaType().sizeOf() == sizeof(SQLHANDLE)) {
    SQLHANDLE h = *static_cast<const SQLHANDLE*>(handle.constData());
    SQLCHAR sqlState[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER nativeError = 0;
    SQLSMALLINT length = 0;
    if (h && SQL_SUCCEEDED(SQLGetDiagRec(handleType, h, 1, sqlState, &nativeError, nullptr, 0,
                                         &length))) {
      state = QString::fromLatin1(reinterpret_cast<const char*>(sqlState));
      native = static_cast<int>(nativeError);
    }
  }
  return DbError(errorText(e), state, native);
}

DbError statementError(const QSqlQuery& q) {
  return makeError(q.lastError(), q.result() ? q.result()->handle() : QVariant(), SQL_HANDLE_STMT);
}

DbError connectionError(const QSqlDatabase& db) {
  return makeError(db.lastError(), db.driver() ? db.driver()->handle() : QVariant(),
                   SQL_HANDLE_DBC);
}

QSqlDatabase database(const Connection& c) { return QSqlDatabase::database(c.name(), false); }

// Tells the connection's done-observer when a statement has finished, on
// every way out.
class StatementDone {
 public:
  StatementDone(const Connection& c, const QString& sql) : c_(c), sql_(sql) {}
  ~StatementDone() { c_.notifyDone(sql_); }
  StatementDone(const StatementDone&) = delete;
  StatementDone& operator=(const StatementDone&) = delete;

 private:
  const Connection& c_;
  const QString& sql_;
};

}  // namespace

DbError::DbError(const QString& message, const QString& sqlState, int nativeCode)
    : std::runtime_error(message.toStdString()),
      message_(message),
      sqlState_(sqlState),
      nativeCode_(nativeCode) {}

bool DbError::isConnectionLostState(const QString& s) {
  return s.startsWith(QLatin1String("08")) || s == QLatin1String("57P01") ||
         s == QLatin1String("57P02") || s == QLatin1String("57P03");
}

Connection::Connection() {
  static std::atomic<int> counter{0};
  name_ = QStringLiteral("rc-connection-%1").arg(++counter);
  QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name_);
}

Connection::~Connection() {
  {
    QSqlDatabase db = QSqlDatabase::database(name_, false);
    if (db.isOpen()) db.close();
  }
  QSqlDatabase::removeDatabase(name_);
}

void Connection::open(const QString& connectionString, const QStringList& sessionSetup) {
  connectionString_ = connectionString;
  sessionSetup_ = sessionSetup;
  QSqlDatabase db = QSqlDatabase::database(name_, false);
  if (!db.isValid()) throw DbError(QStringLiteral("The ODBC driver of Qt SQL is not available"));
  if (db.isOpen()) db.close();
  db.setDatabaseName(connectionString);
  // The driver frees its handle when connecting fails: no SQLSTATE to read.
  if (!db.open()) throw makeError(db.lastError(), QVariant(), SQL_HANDLE_DBC);
  for (const QString& sql : sessionSetup) {
    std::optional<DbError> refused;
    {
      QSqlQuery q(db);
      if (!q.exec(sql)) refused = statementError(q);
    }
    if (refused) {
      db.close();
      throw *refused;
    }
  }
  lost_ = false;
}

void Connection::checkAlive() {
  if (lost_) return;
  QSqlQuery q(QSqlDatabase::database(name_, false));
  if (!q.exec(QStringLiteral("SELECT 1")) && statementError(q).connectionLost()) lost_ = true;
}

void Connection::reopen() { open(connectionString_, sessionSetup_); }

void Connection::raise(const DbError& e) {
  if (e.connectionLost()) lost_ = true;
  throw e;
}

void Connection::close() {
  QSqlDatabase db = QSqlDatabase::database(name_, false);
  if (db.isOpen()) db.close();
}

bool Connection::isOpen() const { return database(*this).isOpen(); }

Query::Query(Connection& connection) : connection_(connection) {}
Query::~Query() = default;

void Query::close() {
  open_ = false;
  columns_.clear();
  rows_.clear();
  current_ = 0;
}

void Query::open() {
  close();
  connection_.notify(sql_);
  const StatementDone done(connection_, sql_);
  QSqlQuery q(database(connection_));
  q.setForwardOnly(true);
  // Numbers arrive as the database's own text (no rounding through double).
  q.setNumericalPrecisionPolicy(QSql::HighPrecision);
  if (!q.exec(sql_)) connection_.raise(statementError(q));
  const QSqlRecord rec = q.record();
  for (int i = 0; i < rec.count(); ++i) columns_ << rec.fieldName(i);
  while (q.next()) {
    std::vector<QString> row;
    row.reserve(columns_.size());
    for (int i = 0; i < columns_.size(); ++i) {
      const QVariant v = q.value(i);
      row.push_back(v.isNull() ? QString() : v.toString());
    }
    rows_.push_back(std::move(row));
  }
  if (q.lastError().isValid()) connection_.raise(statementError(q));
  open_ = true;
}

void Query::execSql() {
  close();
  connection_.notify(sql_);
  const StatementDone done(connection_, sql_);
  QSqlQuery q(database(connection_));
  if (!q.exec(sql_)) connection_.raise(statementError(q));
}

bool Query::eof() const { return !open_ || current_ >= rows_.size(); }

void Query::next() {
  if (!eof()) ++current_;
}

int Query::recordCount() const { return open_ ? static_cast<int>(rows_.size()) : 0; }

QString Query::fieldByName(const QString& name) const {
  int col = -1;
  for (int i = 0; i < columns_.size() && col < 0; ++i)
    if (columns_[i].compare(name, Qt::CaseInsensitive) == 0) col = i;
  if (col < 0) throw DbError(QStringLiteral("Field '%1' not found").arg(name));
  return value(col);
}

QString Query::value(int index) const {
  if (index < 0 || index >= columns_.size())
    throw DbError(QStringLiteral("Field index %1 out of range").arg(index));
  if (eof()) throw DbError(QStringLiteral("No current record"));
  return rows_[current_][index];
}

Transaction::Transaction(Connection& connection) : connection_(connection) {
  QSqlDatabase db = database(connection_);
  if (!db.transaction()) connection_.raise(connectionError(db));
}

Transaction::~Transaction() {
  if (open_) database(connection_).rollback();
}

void Transaction::commit() {
  QSqlDatabase db = database(connection_);
  if (!db.commit()) connection_.raise(connectionError(db));
  open_ = false;
}

}  // namespace platform::db
