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

namespace platform::db {
namespace {

QString errorText(const QSqlError& e) {
  QString text = e.databaseText().trimmed();
  if (text.isEmpty()) text = e.driverText().trimmed();
  if (text.isEmpty()) text = e.text().trimmed();
  return text;
}

QSqlDatabase database(const Connection& c) { return QSqlDatabase::database(c.name(), false); }

// The ODBC handle behind a Qt SQL driver or result; nullptr when there is none.
SQLHANDLE odbcHandle(const QVariant& handle) {
  if (!handle.isValid() || handle.metaType() != QMetaType::fromType<SQLHANDLE>()) return nullptr;
  return *static_cast<const SQLHANDLE*>(handle.constData());
}

// The SQLSTATE of the first diagnostic record of an ODBC handle; empty when none.
QString sqlStateOf(SQLSMALLINT type, SQLHANDLE handle) {
  if (!handle) return QString();
  SQLCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetDiagRecA(type, handle, 1, state, &native, nullptr, 0, &length)))
    return QString();
  return QString::fromLatin1(reinterpret_cast<const char*>(state));
}

// True when the driver finds the connection dead, or the state is of class
// 08 (connection exception).
bool connectionLost(const QSqlDatabase& db, const QString& sqlState) {
  if (sqlState.startsWith(QLatin1String("08"))) return true;
  SQLHANDLE dbc = db.driver() ? odbcHandle(db.driver()->handle()) : nullptr;
  if (!dbc) return false;
  SQLUINTEGER dead = SQL_CD_FALSE;
  return SQL_SUCCEEDED(SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
         dead == SQL_CD_TRUE;
}

DbError statementError(const QSqlQuery& q, const QSqlDatabase& db) {
  const QSqlError e = q.lastError();
  const QString state = q.result() ? sqlStateOf(SQL_HANDLE_STMT, odbcHandle(q.result()->handle())) : QString();
  return DbError(errorText(e), state, e.nativeErrorCode(), connectionLost(db, state));
}

DbError connectionError(const QSqlDatabase& db) {
  const QSqlError e = db.lastError();
  const QString state =
      db.driver() ? sqlStateOf(SQL_HANDLE_DBC, odbcHandle(db.driver()->handle())) : QString();
  return DbError(errorText(e), state, e.nativeErrorCode(), connectionLost(db, state));
}

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

DbError::DbError(const QString& message, const QString& sqlState, const QString& nativeCode,
                 bool connectionLost)
    : std::runtime_error(message.toStdString()),
      message_(message),
      sqlState_(sqlState),
      nativeCode_(nativeCode),
      connectionLost_(connectionLost) {}

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

void Connection::open(const QString& connectionString) {
  QSqlDatabase db = QSqlDatabase::database(name_, false);
  if (!db.isValid()) throw DbError(QStringLiteral("The ODBC driver of Qt SQL is not available"));
  db.setDatabaseName(connectionString);
  if (!db.open()) throw DbError(errorText(db.lastError()));
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
  QSqlDatabase db = database(connection_);
  QSqlQuery q(db);
  q.setForwardOnly(true);
  // Numbers arrive as the database's own text (no rounding through double).
  q.setNumericalPrecisionPolicy(QSql::HighPrecision);
  if (!q.exec(sql_)) throw statementError(q, db);
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
  if (q.lastError().isValid()) throw statementError(q, db);
  open_ = true;
}

void Query::execSql() {
  close();
  connection_.notify(sql_);
  const StatementDone done(connection_, sql_);
  QSqlDatabase db = database(connection_);
  QSqlQuery q(db);
  if (!q.exec(sql_)) throw statementError(q, db);
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
  if (!db.transaction()) throw connectionError(db);
}

Transaction::~Transaction() {
  if (open_) database(connection_).rollback();
}

void Transaction::commit() {
  QSqlDatabase db = database(connection_);
  if (!db.commit()) throw connectionError(db);
  open_ = false;
}

}  // namespace platform::db
