#include "platform/database.h"

#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sql.h>
#include <sqlext.h>
#include <sys/socket.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/sessiontext.h"
#include "platform/statementrunner.h"

namespace platform::db {
namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC wide characters are UTF-16 here");

const SQLWCHAR* wide(const QString& s) { return reinterpret_cast<const SQLWCHAR*>(s.utf16()); }
QString fromWide(const SQLWCHAR* p, qsizetype n) {
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(p), n);
}

// An ODBC handle, freed when it goes.
class OdbcHandle {
 public:
  OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_))) handle_ = SQL_NULL_HANDLE;
  }
  ~OdbcHandle() {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
  }
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;
  SQLHANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }

 private:
  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// How a session's text crosses the driver: UTF-16, or the bytes of the
// session's client encoding (narrow set).
struct TextForm {
  const SessionText* narrow = nullptr;
};

// The calls that hand text over, in their narrow and their wide form.
SQLRETURN getDiagRec(SQLSMALLINT type, SQLHANDLE h, SQLCHAR* state, SQLINTEGER* native, SQLCHAR* text,
                     SQLSMALLINT room, SQLSMALLINT* length) {
  return SQLGetDiagRec(type, h, 1, state, native, text, room, length);
}
SQLRETURN getDiagRec(SQLSMALLINT type, SQLHANDLE h, SQLWCHAR* state, SQLINTEGER* native, SQLWCHAR* text,
                     SQLSMALLINT room, SQLSMALLINT* length) {
  return SQLGetDiagRecW(type, h, 1, state, native, text, room, length);
}
SQLRETURN describeCol(SQLHSTMT h, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT room, SQLSMALLINT* length) {
  SQLSMALLINT type = 0, digits = 0, nullable = 0;
  SQLULEN size = 0;
  return SQLDescribeCol(h, column, name, room, length, &type, &size, &digits, &nullable);
}
SQLRETURN describeCol(SQLHSTMT h, SQLUSMALLINT column, SQLWCHAR* name, SQLSMALLINT room, SQLSMALLINT* length) {
  SQLSMALLINT type = 0, digits = 0, nullable = 0;
  SQLULEN size = 0;
  return SQLDescribeColW(h, column, name, room, length, &type, &size, &digits, &nullable);
}
// Text as the driver hands it over: UTF-16 units, or the client encoding's bytes.
QString textOf(TextForm, const SQLWCHAR* units, qsizetype n) { return fromWide(units, n); }
QString textOf(TextForm form, const SQLCHAR* bytes, qsizetype n) {
  return form.narrow->decode(reinterpret_cast<const char*>(bytes), n);
}

// Text that a call writes into a buffer of the caller's (SQLCHAR or
// SQLWCHAR units): call(buffer, room, &length) is made again with room for
// all of it when the first buffer was too short. Empty when the call fails.
template <typename Unit, typename Call>
std::optional<QString> textFrom(TextForm form, Call call) {
  std::vector<Unit> buffer(256);
  SQLSMALLINT length = 0;
  for (;;) {
    const SQLSMALLINT room = static_cast<SQLSMALLINT>(buffer.size());
    if (!SQL_SUCCEEDED(call(buffer.data(), room, &length))) return std::nullopt;
    if (length < room || room == SHRT_MAX) return textOf(form, buffer.data(), std::clamp<SQLSMALLINT>(length, 0, room - 1));
    buffer.resize(static_cast<size_t>(std::min<int>(length + 1, SHRT_MAX)));  // truncated
  }
}

// The first diagnostic record on an ODBC handle as a DbError (its whole
// text, SQLSTATE and native code); empty when the handle holds none. The one
// reader of a failure, for connects and statements alike.
template <typename Unit>
std::optional<DbError> diagnosticAs(SQLSMALLINT handleType, SQLHANDLE h, TextForm form) {
  Unit state[SQL_SQLSTATE_SIZE + 1] = {};
  SQLINTEGER native = 0;
  const std::optional<QString> text = textFrom<Unit>(form, [&](Unit* buffer, SQLSMALLINT room, SQLSMALLINT* length) {
    return getDiagRec(handleType, h, state, &native, buffer, room, length);
  });
  if (!text) return std::nullopt;
  return DbError(text->trimmed(), textOf(form, state, SQL_SQLSTATE_SIZE), static_cast<int>(native));
}

std::optional<DbError> diagnostic(SQLSMALLINT handleType, SQLHANDLE h, TextForm form) {
  return form.narrow ? diagnosticAs<SQLCHAR>(handleType, h, form) : diagnosticAs<SQLWCHAR>(handleType, h, form);
}

// The failure of a call on h: its diagnostic, else what happened in words.
DbError failure(SQLSMALLINT handleType, SQLHANDLE h, TextForm form, const char* what) {
  std::optional<DbError> e = diagnostic(handleType, h, form);
  if (!e) return DbError(QString::fromLatin1(what));
  if (e->message().isEmpty()) return DbError(QString::fromLatin1(what), e->sqlState(), e->nativeCode());
  return *e;
}

// Whether the driver converts text columns to wide characters, as Qt's own
// ODBC driver asks it: a narrow driver refuses SQL_C_WCHAR reads outright
// ("Received an unsupported type", 07006).
bool convertsToWide(SQLHDBC dbc) {
  const struct {
    SQLUSMALLINT info;
    SQLUINTEGER wideBit;
  } asks[] = {{SQL_CONVERT_CHAR, SQL_CVT_WCHAR},
              {SQL_CONVERT_VARCHAR, SQL_CVT_WVARCHAR},
              {SQL_CONVERT_LONGVARCHAR, SQL_CVT_WLONGVARCHAR}};
  for (const auto& a : asks) {
    SQLUINTEGER conversions = 0;
    if (SQL_SUCCEEDED(SQLGetInfo(dbc, a.info, &conversions, sizeof conversions, nullptr)) &&
        (conversions & a.wideBit))
      return true;
  }
  return false;
}

// The descriptors of this process's TCP sockets whose local port is port.
std::vector<int> tcpSocketsWithLocalPort(int port) {
  std::vector<int> sockets;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("/proc/self/fd"), &::closedir);
  if (!dir) return sockets;
  while (const dirent* entry = ::readdir(dir.get())) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0') continue;
    int type = 0;
    socklen_t typeLength = sizeof type;
    sockaddr_storage address{};
    socklen_t addressLength = sizeof address;
    if (::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 ||
        type != SOCK_STREAM ||
        ::getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&address), &addressLength) != 0)
      continue;
    int local = -1;
    if (address.ss_family == AF_INET)
      local = ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    else if (address.ss_family == AF_INET6)
      local = ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    if (local == port) sockets.push_back(static_cast<int>(fd));
  }
  return sockets;
}

// The keepalives and the bound on unacknowledged data of database.h, on one
// session's socket. A setting the system refuses stays at its default.
void keepAlive(int fd) {
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepaliveIdleSeconds, sizeof kKeepaliveIdleSeconds);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepaliveIntervalSeconds, sizeof kKeepaliveIntervalSeconds);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepaliveProbes, sizeof kKeepaliveProbes);
  ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &kUnacknowledgedMilliseconds,
               sizeof kUnacknowledgedMilliseconds);
}

void warn(const QString& text) {
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  std::fflush(stderr);
}

// Tells the connection's done-observer when a statement has finished, on
// every way out.
class StatementDone {
 public:
  StatementDone(const Connection::StatementObserver& observer, const QString& sql)
      : observer_(observer), sql_(sql) {}
  ~StatementDone() {
    if (observer_) observer_(sql_);
  }
  StatementDone(const StatementDone&) = delete;
  StatementDone& operator=(const StatementDone&) = delete;

 private:
  const Connection::StatementObserver& observer_;
  const QString& sql_;
};

// The position of the field called name among names, matched without regard
// to case; raises DbError when there is none.
qsizetype fieldPosition(const QStringList& names, const QString& name) {
  for (qsizetype i = 0; i < names.size(); ++i)
    if (names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
  throw DbError(QStringLiteral("Field '%1' not found").arg(name));
}

// What the server says of the session, asked once at connect past the
// observers: its process, the client port of its socket, its client encoding.
const QString kSessionFactsSql =
    QStringLiteral("SELECT pg_backend_pid(), inet_client_port(), current_setting('client_encoding')");
const QString kAliveSql = QStringLiteral("SELECT 1");

}  // namespace

// One statement on its own handle: run, then its result's columns and rows.
class Statement {
 public:
  Statement(SQLHDBC dbc, TextForm form) : handle_(SQL_HANDLE_STMT, dbc), form_(form) {
    if (!handle_) throw failure(SQL_HANDLE_DBC, dbc, form, "The ODBC driver gave no statement handle");
  }

  // Runs sql. A searched UPDATE or DELETE that touches no row answers
  // SQL_NO_DATA, which is no failure.
  void run(const QString& sql) {
    SQLRETURN r;
    if (form_.narrow) {
      QByteArray bytes = form_.narrow->encode(sql);
      r = SQLExecDirect(h(), reinterpret_cast<SQLCHAR*>(bytes.data()), static_cast<SQLINTEGER>(bytes.size()));
    } else {
      r = SQLExecDirectW(h(), const_cast<SQLWCHAR*>(wide(sql)), static_cast<SQLINTEGER>(sql.size()));
    }
    if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) throw fail("The statement failed");
  }

  // Steps past every further result of the statement, so that a failure of
  // a later statement of a batch is reported too.
  void finish() {
    for (;;) {
      const SQLRETURN r = SQLMoreResults(h());
      if (r == SQL_NO_DATA) return;
      if (!SQL_SUCCEEDED(r)) throw fail("The statement failed");
    }
  }

  // The result's column names; none for a statement without a result.
  QStringList columnNames() {
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(h(), &count))) throw fail("The result's columns cannot be read");
    QStringList names;
    for (SQLUSMALLINT column = 1; column <= count; ++column) names << columnName(column);
    return names;
  }

  // Reads the rest of the result, the field of each of columns (1-based
  // result columns, one per field of a row; one may stand twice) as the
  // driver's text, NULL as a null text, row after row into cells. Returns
  // the rows read.
  size_t readRows(const std::vector<SQLUSMALLINT>& columns, std::vector<QString>& cells) {
    return form_.narrow ? readRowsAs<SQLCHAR>(columns, cells) : readRowsAs<SQLWCHAR>(columns, cells);
  }

 private:
  SQLHSTMT h() const { return handle_.get(); }
  DbError fail(const char* what) const { return failure(SQL_HANDLE_STMT, h(), form_, what); }

  QString columnName(SQLUSMALLINT column) {
    const auto describe = [&](auto* buffer, SQLSMALLINT room, SQLSMALLINT* length) {
      return describeCol(h(), column, buffer, room, length);
    };
    const std::optional<QString> name =
        form_.narrow ? textFrom<SQLCHAR>(form_, describe) : textFrom<SQLWCHAR>(form_, describe);
    if (!name) throw fail("The result's columns cannot be read");
    return *name;
  }

  // Reads the values as the driver's text in units of Unit (SQLWCHAR: UTF-16,
  // SQLCHAR: the client encoding's bytes). A value longer than the buffer
  // comes in pieces; a narrow one is decoded whole, since a piece may end
  // inside a character. Nothing goes through QVariant or per-field length
  // probing, which cost several times the driver's own work per field.
  template <typename Unit>
  size_t readRowsAs(const std::vector<SQLUSMALLINT>& columns, std::vector<QString>& cells) {
    constexpr SQLSMALLINT kType = sizeof(Unit) == 1 ? SQL_C_CHAR : SQL_C_WCHAR;
    constexpr SQLLEN kChunk = 4096;  // units, one of them for the terminator
    constexpr SQLLEN kUnit = sizeof(Unit);
    std::vector<Unit> buffer(static_cast<size_t>(kChunk));
    std::basic_string<Unit> pieces;
    const size_t width = columns.size();
    // A driver need not serve columns out of order, nor one column twice:
    // they are read left to right, and a column named again is copied.
    std::vector<size_t> order(width);
    for (size_t i = 0; i < width; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&columns](size_t a, size_t b) { return columns[a] < columns[b]; });
    // The driver knows how many rows it holds; a hint only.
    if (SQLLEN expected = 0; SQL_SUCCEEDED(SQLRowCount(h(), &expected)) && expected > 0 && expected < (1 << 24))
      cells.reserve(cells.size() + static_cast<size_t>(expected) * width);
    size_t rows = 0;
    for (;;) {
      SQLRETURN r = SQLFetch(h());
      if (r == SQL_NO_DATA) return rows;
      if (!SQL_SUCCEEDED(r)) throw fail("The rows cannot be read");
      const size_t row = cells.size();
      cells.resize(row + width);
      for (size_t k = 0; k < width; ++k) {
        const size_t field = order[k];
        QString& value = cells[row + field];
        if (k > 0 && columns[order[k - 1]] == columns[field]) {
          value = cells[row + order[k - 1]];
          continue;
        }
        pieces.clear();
        for (bool firstPiece = true;; firstPiece = false) {
          SQLLEN indicator = 0;
          r = SQLGetData(h(), columns[field], kType, buffer.data(), kChunk * kUnit, &indicator);
          if (r == SQL_NO_DATA) break;  // the last piece was read
          if (!SQL_SUCCEEDED(r)) throw fail("A value cannot be read");
          if (indicator == SQL_NULL_DATA) break;
          const bool whole = indicator != SQL_NO_TOTAL && indicator / kUnit < kChunk;
          // A piece fills the buffer up to its terminator; a driver may stop
          // short of it rather than split a character.
          const SQLLEN units =
              whole ? indicator / kUnit
                    : std::find(buffer.begin(), buffer.begin() + (kChunk - 1), Unit(0)) - buffer.begin();
          if (!whole && units == 0) throw DbError(QStringLiteral("The ODBC driver sent an empty piece of a long value"));
          if (whole && firstPiece) {
            // An empty value is an empty text, not a NULL.
            value = units > 0 ? textOf(form_, buffer.data(), units) : QStringLiteral("");
            break;
          }
          pieces.append(buffer.data(), static_cast<size_t>(units));
          if (whole) break;
        }
        if (!pieces.empty()) value = textOf(form_, pieces.data(), static_cast<qsizetype>(pieces.size()));
      }
      ++rows;
    }
  }

  OdbcHandle handle_;
  TextForm form_;
};

struct Connection::Session {
  OdbcHandle env{SQL_HANDLE_ENV, SQL_NULL_HANDLE};
  std::optional<OdbcHandle> dbc;
  bool connected = false;
  std::unique_ptr<SessionText> narrow;  // set for a narrow driver
  int serverProcessId = 0;

  ~Session() {
    if (connected) SQLDisconnect(dbc->get());
  }
  SQLHDBC handle() const { return dbc->get(); }
  TextForm form() const { return {narrow.get()}; }
};

DbError::DbError(const QString& message, const QString& sqlState, int nativeCode)
    : std::runtime_error(message.toStdString()),
      message_(message),
      sqlState_(sqlState),
      nativeCode_(nativeCode) {}

bool DbError::isConnectionLostState(const QString& s) {
  static const QStringList ended = {QStringLiteral("57P01"), QStringLiteral("57P02"),
                                    QStringLiteral("57P03"), QStringLiteral("57P04"),
                                    QStringLiteral("57P05"), QStringLiteral("25P03"),
                                    QStringLiteral("25P04")};
  return s.startsWith(QLatin1String("08")) || ended.contains(s);
}

Connection::Connection() : runner_(std::make_unique<StatementRunner>()) {}
Connection::~Connection() = default;

void Connection::run(const std::function<void()>& work) { runner_->run(work); }

void Connection::open(const QString& connectionString, const QStringList& sessionSetup) {
  // Only between statements: a timer's handler must not replace the session
  // under a statement that the connection's thread is running.
  if (runner_->busy()) throw DbError(QStringLiteral("A statement of this connection is still running"));
  connectionString_ = connectionString;
  sessionSetup_ = sessionSetup;
  session_.reset();
  auto s = std::make_unique<Session>();
  if (!s->env || !SQL_SUCCEEDED(SQLSetEnvAttr(s->env.get(), SQL_ATTR_ODBC_VERSION,
                                             reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)))
    throw DbError(QStringLiteral("The ODBC driver manager is not available"));
  s->dbc.emplace(SQL_HANDLE_DBC, s->env.get());
  if (!*s->dbc) throw failure(SQL_HANDLE_ENV, s->env.get(), {}, "The ODBC driver manager gave no connection handle");
  // The driver hands the login timeout to the server connect, which then
  // gives up on a server that accepts and never answers.
  const auto timeout = static_cast<std::intptr_t>(kLoginTimeoutSeconds);
  SQLSetConnectAttr(s->handle(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout), 0);
  const SQLRETURN r = SQLDriverConnectW(s->handle(), nullptr, const_cast<SQLWCHAR*>(wide(connectionString)),
                                        static_cast<SQLSMALLINT>(connectionString.size()), nullptr, 0, nullptr,
                                        SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(r)) throw failure(SQL_HANDLE_DBC, s->handle(), {}, "The ODBC driver refused the connection");
  s->connected = true;
  // Until the session says otherwise, a narrow driver's text is UTF-8.
  if (!convertsToWide(s->handle())) s->narrow = std::make_unique<SessionText>();

  for (const QString& sql : sessionSetup) {
    Statement setup(s->handle(), s->form());
    setup.run(sql);
    setup.finish();
  }

  QString clientPort;
  try {
    Statement facts(s->handle(), s->form());
    facts.run(kSessionFactsSql);
    std::vector<QString> row;
    if (facts.readRows({1, 2, 3}, row) > 0) {
      s->serverProcessId = row[0].toInt();
      clientPort = row[1];
      if (s->narrow) {
        s->narrow = SessionText::forClientEncoding(row[2].toStdString());
        if (!s->narrow) {
          warn(QStringLiteral("The database session's client encoding %1 cannot be read here; its text is read as UTF-8")
                   .arg(row[2]));
          s->narrow = std::make_unique<SessionText>();
        }
      }
    }
  } catch (const DbError& e) {
    warn(QStringLiteral("The database did not describe the session: %1").arg(e.message()));
  }
  // The driver offers no setting for keepalive times, nor its socket: the
  // session's socket is the one whose local port the server names.
  const std::vector<int> sockets = clientPort.isEmpty() ? std::vector<int>() : tcpSocketsWithLocalPort(clientPort.toInt());
  if (sockets.empty())
    warn(QStringLiteral("The database session's socket was not found (client port %1): it has no keepalives, "
                        "so a network that drops it silently is not noticed")
             .arg(clientPort.isEmpty() ? QStringLiteral("unknown") : clientPort));
  for (int fd : sockets) keepAlive(fd);

  session_ = std::move(s);
  lost_ = false;
}

Connection::Session& Connection::session() {
  if (!session_) throw DbError(QStringLiteral("The database connection is not open"), QStringLiteral("08003"));
  return *session_;
}

void Connection::checkAlive() {
  if (lost_ || !session_) return;
  try {
    run([this] {
      Statement probe(session_->handle(), session_->form());
      probe.run(kAliveSql);
    });
  } catch (const DbError& e) {
    if (e.connectionLost()) lost_ = true;
  }
}

void Connection::reopen() { open(connectionString_, sessionSetup_); }

void Connection::raise(const DbError& e) {
  if (e.connectionLost()) lost_ = true;
  throw e;
}

void Connection::close() {
  if (runner_->busy()) throw DbError(QStringLiteral("A statement of this connection is still running"));
  session_.reset();
}

bool Connection::isOpen() const { return session_ && session_->connected; }

int Connection::serverProcessId() const { return session_ ? session_->serverProcessId : 0; }

bool Connection::wideText() const { return !session_ || !session_->narrow; }

Query::Query(Connection& connection) : connection_(connection) {}
Query::~Query() = default;

void Query::close() {
  open_ = false;
  columns_.clear();
  cells_.clear();
  rowCount_ = 0;
  current_ = 0;
}

void Connection::execute(const QString& sql, const std::function<void(Statement&)>& onResult) {
  if (observer_) observer_(sql);
  const StatementDone done(doneObserver_, sql);
  try {
    Session& s = session();
    run([&] {
      Statement statement(s.handle(), s.form());
      statement.run(sql);
      if (onResult) onResult(statement);
      statement.finish();
    });
  } catch (const DbError& e) {
    raise(e);
  }
}

void Query::open(const QStringList& fields) {
  close();
  try {
    connection_.execute(sql_, [&](Statement& statement) {
      const QStringList names = statement.columnNames();
      // The result columns that are read (1-based), in the order of the row's fields.
      std::vector<SQLUSMALLINT> picked;
      if (fields.isEmpty()) {
        for (qsizetype i = 0; i < names.size(); ++i) picked.push_back(static_cast<SQLUSMALLINT>(i + 1));
      } else {
        for (const QString& name : fields)
          picked.push_back(static_cast<SQLUSMALLINT>(fieldPosition(names, name) + 1));
      }
      for (SQLUSMALLINT column : picked) columns_ << names[column - 1];
      if (!picked.empty()) rowCount_ = statement.readRows(picked, cells_);
    });
  } catch (...) {
    close();
    throw;
  }
  open_ = true;
}

void Query::execSql() {
  close();
  connection_.execute(sql_, nullptr);
}

bool Query::eof() const { return !open_ || current_ >= rowCount_; }

void Query::next() {
  if (!eof()) ++current_;
}

int Query::recordCount() const { return open_ ? static_cast<int>(rowCount_) : 0; }

int Query::fieldIndex(const QString& name) const { return static_cast<int>(fieldPosition(columns_, name)); }

QString Query::fieldByName(const QString& name) const { return value(fieldIndex(name)); }

QString Query::value(int index) const {
  if (index < 0 || index >= columns_.size())
    throw DbError(QStringLiteral("Field index %1 out of range").arg(index));
  if (eof()) throw DbError(QStringLiteral("No current record"));
  return cells_[current_ * static_cast<size_t>(columns_.size()) + static_cast<size_t>(index)];
}

namespace {

SQLRETURN setAutocommit(SQLHDBC dbc, bool on) {
  return SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                           reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(on ? SQL_AUTOCOMMIT_ON
                                                                                        : SQL_AUTOCOMMIT_OFF)),
                           SQL_IS_UINTEGER);
}

}  // namespace

Transaction::Transaction(Connection& connection) : connection_(connection) {
  try {
    Connection::Session& s = connection_.session();
    connection_.run([&s] {
      if (!SQL_SUCCEEDED(setAutocommit(s.handle(), false)))
        throw failure(SQL_HANDLE_DBC, s.handle(), s.form(), "The transaction cannot begin");
    });
  } catch (const DbError& e) {
    connection_.raise(e);
  }
}

Transaction::~Transaction() {
  if (!open_ || !connection_.session_) return;
  const SQLHDBC dbc = connection_.session_->handle();
  try {
    connection_.run([dbc] {
      SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
      setAutocommit(dbc, true);
    });
  } catch (...) {
    // Nothing to undo on a session that cannot answer.
  }
}

void Transaction::commit() {
  try {
    Connection::Session& s = connection_.session();
    connection_.run([&s] {
      if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, s.handle(), SQL_COMMIT)))
        throw failure(SQL_HANDLE_DBC, s.handle(), s.form(), "The transaction cannot be committed");
      setAutocommit(s.handle(), true);
    });
  } catch (const DbError& e) {
    connection_.raise(e);
  }
  open_ = false;
}

}  // namespace platform::db
