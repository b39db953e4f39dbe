#pragma once
// A thin connection and query layer straight over ODBC, shaped after the ADO
// objects the program was designed around: one connection, query objects over
// it that hold a statement text, open (read every row at once, so the row
// count is known), walk rows, and read fields by name as text.
//
// Every field is read as the driver's text of the value, NULL as a null
// QString. At connect the layer asks the driver whether it converts text to
// wide characters (SQLGetInfo, SQL_CONVERT_CHAR and its kin): a Unicode driver
// is spoken to in UTF-16; a narrow one gets statements and gives rows and
// messages in the session's client encoding, which it passes through as bytes.
// Every failure raises DbError with the database's own message, its SQLSTATE
// and the driver's native code, all read by one reader of the driver's
// diagnostic record.
//
// While a statement runs, the window keeps answering (statementrunner.h): the
// statement runs on the connection's own thread, on the same session, and the
// GUI thread serves the window system's events but user input meanwhile.
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace platform::db {

class StatementRunner;
class Statement;  // one statement on its own ODBC handle, in database.cpp

// Bounds on waiting for a server that does not answer. A connect (the first
// one and every reopen) gives up on each address of the server's name after
// kLoginTimeoutSeconds, so a name with several dead addresses takes that long
// for each. An open session's socket has TCP keepalives and a bound on
// unacknowledged data, and the bound is what decides: with TCP_USER_TIMEOUT
// set, Linux closes a connection whose keepalive probes go unanswered once
// kUnacknowledgedMilliseconds have passed since the peer last answered, and
// the probe count no longer counts (tcp(7)). The idle time and interval only
// say when probes are sent, so a network that silently drops the session is
// noticed at the first probe 60 s or more after the last answer, as is a
// statement sent into it. A server that is still working on a statement
// answers the probes, so a long statement is never cut short.
inline constexpr int kLoginTimeoutSeconds = 10;
inline constexpr int kKeepaliveIdleSeconds = 20;
inline constexpr int kKeepaliveIntervalSeconds = 10;
inline constexpr int kKeepaliveProbes = 4;
inline constexpr int kUnacknowledgedMilliseconds = 60000;

class DbError : public std::runtime_error {
 public:
  explicit DbError(const QString& message, const QString& sqlState = QString(), int nativeCode = 0);
  const QString& message() const { return message_; }
  // The five-character ODBC SQLSTATE ("42P01"); empty when the driver gave none.
  const QString& sqlState() const { return sqlState_; }
  // The driver's own error number; 0 when it gave none.
  int nativeCode() const { return nativeCode_; }
  // The statement failed because the session is gone: SQLSTATE class 08
  // (the driver's "connection lost", 08S01, among them), the server's
  // shutdown and termination codes 57P01 to 57P05 (57P05: the session sat
  // idle past idle_session_timeout) and its timeouts that end a session,
  // 25P03 (idle in a transaction) and 25P04 (a transaction ran too long).
  bool connectionLost() const { return isConnectionLostState(sqlState_); }
  static bool isConnectionLostState(const QString& sqlState);

 private:
  QString message_;
  QString sqlState_;
  int nativeCode_ = 0;
};

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Hands the ODBC connection string to the driver manager unchanged, with
  // the login timeout as a connection attribute, in one connect (one login on
  // the server); sends each statement of sessionSetup on the new session;
  // then sets the keepalives on the session's socket, found by the client
  // port the server reports for the session (said on standard error when it
  // is not found). A refused connect raises the driver's text with its
  // SQLSTATE and native code; a refused setup statement closes the
  // connection again and raises its DbError.
  void open(const QString& connectionString, const QStringList& sessionSetup = QStringList());
  void close();
  bool isOpen() const;
  // True once a statement over this connection failed with connectionLost();
  // false again after a successful open or reopen.
  bool lost() const { return lost_; }
  // Asks the server whether the session still stands (a trivial statement
  // that observers do not see): a session the server ended while the program
  // was idle makes lost() true here rather than in the next command's work.
  // Any other failure is left for the next statement to report.
  void checkAlive();
  // Opens again with the connection string and setup of the last open().
  void reopen();
  // The server's process for this session, as the server reports it at
  // connect; 0 when closed or when the server did not say.
  int serverProcessId() const;
  // Whether the driver is spoken to in UTF-16 (false: in the client encoding).
  bool wideText() const;

  // Called with the text of every statement sent over this connection, before
  // it is sent. Tests capture statements through it; the program sets none.
  using StatementObserver = std::function<void(const QString&)>;
  void setStatementObserver(StatementObserver observer) { observer_ = std::move(observer); }
  // Called with the text of every statement once the database has answered or
  // refused it (and, for a query, every row has been read). The benchmarks
  // time statements through it; the program sets none.
  void setStatementDoneObserver(StatementObserver observer) { doneObserver_ = std::move(observer); }

 private:
  friend class Query;
  friend class Transaction;
  struct Session;  // the ODBC handles and the session's text, in database.cpp

  // The session, or DbError when there is none.
  Session& session();
  // Runs work that uses the session's handles on the connection's thread
  // (statementrunner.h); raises what it raised.
  void run(const std::function<void()>& work);
  // Sends sql (the observers told before and after), hands its statement to
  // onResult when given, and steps past its further results, all on the
  // connection's thread; a failure leaves through raise().
  void execute(const QString& sql, const std::function<void(Statement&)>& onResult);
  // Raises e, remembering first whether it says that the session is gone.
  [[noreturn]] void raise(const DbError& e);

  std::unique_ptr<Session> session_;
  std::unique_ptr<StatementRunner> runner_;  // after session_: stops first
  QString connectionString_;
  QStringList sessionSetup_;
  bool lost_ = false;
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

  // Runs the statement and reads every row; positions on the first. With
  // fields named, only those are read, in that order (names match as in
  // fieldByName; a name may stand twice; one the result lacks raises
  // DbError): a caller that needs a few columns of a long result does not pay
  // for the others.
  void open(const QStringList& fields = QStringList());
  void execSql();  // runs a statement without a result set

  bool isOpen() const { return open_; }
  bool eof() const;  // true when closed or past the last row
  void next();
  int recordCount() const;  // rows read by open(); 0 when closed

  // The current row's field as text; NULL reads as an empty text (a null
  // QString, where an empty value is an empty one). Names match
  // without regard to case. Raises DbError for an unknown name or no current row.
  QString fieldByName(const QString& name) const;
  // The position (0-based) of the field of that name, matched as fieldByName
  // matches it, for reading many rows by position. Raises DbError for an
  // unknown name.
  int fieldIndex(const QString& name) const;
  // The current row's field by position (0-based), as fieldByName reads it.
  QString value(int index) const;
  int fieldCount() const { return static_cast<int>(columns_.size()); }

 private:
  Connection& connection_;
  QString sql_;
  bool open_ = false;
  QStringList columns_;
  std::vector<QString> cells_;  // row by row, fieldCount() to a row
  size_t rowCount_ = 0;
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
