#include "platform/database.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

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

DbError::DbError(const QString& message)
    : std::runtime_error(message.toStdString()), message_(message) {}

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
  QSqlQuery q(database(connection_));
  q.setForwardOnly(true);
  // Numbers arrive as the database's own text (no rounding through double).
  q.setNumericalPrecisionPolicy(QSql::HighPrecision);
  if (!q.exec(sql_)) throw DbError(errorText(q.lastError()));
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
  if (q.lastError().isValid()) throw DbError(errorText(q.lastError()));
  open_ = true;
}

void Query::execSql() {
  close();
  connection_.notify(sql_);
  const StatementDone done(connection_, sql_);
  QSqlQuery q(database(connection_));
  if (!q.exec(sql_)) throw DbError(errorText(q.lastError()));
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
  if (!db.transaction()) throw DbError(errorText(db.lastError()));
}

Transaction::~Transaction() {
  if (open_) database(connection_).rollback();
}

void Transaction::commit() {
  QSqlDatabase db = database(connection_);
  if (!db.commit()) throw DbError(errorText(db.lastError()));
  open_ = false;
}

}  // namespace platform::db
