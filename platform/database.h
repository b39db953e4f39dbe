#pragma once
// A thin connection and query layer over Qt SQL's ODBC driver, shaped after
// the ADO objects the program was designed around: one connection, query
// objects over it that hold a statement text, open (read every row at once, so
// the row count is known), walk rows, and read fields by name as text.
// Every failure raises DbError with the database's own message, its SQLSTATE
// and native code, and whether the connection was lost.
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform::db {

class DbError : public std::runtime_error {
 public:
  explicit DbError(const QString& message, const QString& sqlState = QString(),
                   const QString& nativeCode = QString(), bool connectionLost = false);
  const QString& message() const { return message_; }
  // The five-character SQLSTATE of the database's answer; empty when there was none.
  const QString& sqlState() const { return sqlState_; }
  // The driver's native error code as text; empty when there was none.
  const QString& nativeCode() const { return nativeCode_; }
  // True when the connection is gone, so that nothing sent over it again can
  // succeed; false for a statement the database refused.
  bool connectionLost() const { return connectionLost_; }

 private:
  QString message_;
  QString sqlState_;
  QString nativeCode_;
  bool connectionLost_ = false;
};

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Hands the ODBC connection string to the driver manager unchanged.
  void open(const QString& connectionString);
  void close();
  bool isOpen() const;
  const QString& name() const { return name_; }  // the QSqlDatabase connection name

  // Called with the text of every statement sent over this connection, before
  // it is sent. Tests capture statements through it; the program sets none.
  using StatementObserver = std::function<void(const QString&)>;
  void setStatementObserver(StatementObserver observer) { observer_ = std::move(observer); }
  void notify(const QString& sql) const {
    if (observer_) observer_(sql);
  }
  // Called with the text of every statement once the database has answered or
  // refused it (and, for a query, every row has been read). The benchmarks
  // time statements through it; the program sets none.
  void setStatementDoneObserver(StatementObserver observer) { doneObserver_ = std::move(observer); }
  void notifyDone(const QString& sql) const {
    if (doneObserver_) doneObserver_(sql);
  }

 private:
  QString name_;
  StatementObserver observer_;
  StatementObserver doneObserver_;
};

class Query {
 public:
  explicit Query(Connection& connection);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  void close();  // drops the rows held; the statement text stays
  void setSql(const QString& sql) { sql_ = sql; }
  const QString& sql() const { return sql_; }

  Connection& connection() const { return connection_; }

  void open();     // runs the statement and reads every row; positions on the first
  void execSql();  // runs a statement without a result set

  bool isOpen() const { return open_; }
  bool eof() const;  // true when closed or past the last row
  void next();
  int recordCount() const;  // rows read by open(); 0 when closed

  // The current row's field as text; NULL reads as an empty text. Names match
  // without regard to case. Raises DbError for an unknown name or no current row.
  QString fieldByName(const QString& name) const;
  // The current row's field by position (0-based), as fieldByName reads it.
  QString value(int index) const;
  int fieldCount() const { return static_cast<int>(columns_.size()); }

 private:
  Connection& connection_;
  QString sql_;
  bool open_ = false;
  QStringList columns_;
  std::vector<std::vector<QString>> rows_;
  size_t current_ = 0;
};

// The statements sent over a connection between construction and commit()
// take effect together or not at all: a transaction that is not committed is
// rolled back when the object goes. Raises DbError when the database refuses
// to begin or commit.
class Transaction {
 public:
  explicit Transaction(Connection& connection);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void commit();

 private:
  Connection& connection_;
  bool open_ = true;
};

}  // namespace platform::db
