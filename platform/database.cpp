#include "platform/database.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sql.h>
#include <sqlext.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

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

// The statement handle Qt holds for q, or nothing.
SQLHSTMT statementHandle(const QSqlQuery& q) {
  const QVariant handle = q.result() ? q.result()->handle() : QVariant();
  if (!handle.isValid() || handle.metaType().sizeOf() != sizeof(SQLHANDLE)) return nullptr;
  return *static_cast<const SQLHANDLE*>(handle.constData());
}

// The first diagnostic record on an ODBC handle as a DbError (its whole
// text, SQLSTATE and native code); empty when the handle holds none.
std::optional<DbError> diagnostic(SQLSMALLINT handleType, SQLHANDLE h) {
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC wide characters are UTF-16 here");
  SQLWCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
  SQLINTEGER native = 0;
  std::vector<SQLWCHAR> text(1024);
  SQLSMALLINT length = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(handleType, h, 1, state, &native, text.data(),
                                      static_cast<SQLSMALLINT>(text.size()), &length)))
      return std::nullopt;
    if (length < static_cast<SQLSMALLINT>(text.size())) break;
    text.resize(static_cast<size_t>(length) + 1);  // truncated: once more with room for all
  }
  const auto fromWide = [](const SQLWCHAR* p, qsizetype n) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(p), n);
  };
  return DbError(fromWide(text.data(), std::clamp<qsizetype>(length, 0, text.size() - 1)).trimmed(),
                 fromWide(state, SQL_SQLSTATE_SIZE), static_cast<int>(native));
}

// The failure of a call made on a statement handle itself.
DbError handleError(SQLHSTMT h) {
  if (std::optional<DbError> e = diagnostic(SQL_HANDLE_STMT, h)) return *e;
  return DbError(QStringLiteral("The ODBC driver failed without a diagnostic"));
}

// Whether Qt reads every column of rec as the driver's text of the value:
// texts, and under QSql::HighPrecision decimals and floating-point numbers;
// integers it reads as numbers and writes in decimal, which is the driver's
// text too. Other types (dates, times, bytes) get Qt's own forms.
bool driverTextIsQtText(const QSqlRecord& rec) {
  for (int i = 0; i < rec.count(); ++i) {
    switch (rec.field(i).metaType().id()) {
      case QMetaType::QString:
      case QMetaType::Short:
      case QMetaType::UShort:
      case QMetaType::Int:
      case QMetaType::UInt:
      case QMetaType::LongLong:
      case QMetaType::ULongLong:
      case QMetaType::Float:
      case QMetaType::Double:
        break;
      default:
        return false;
    }
  }
  return true;
}

// Reads the rest of the result on h, every field of columns (1-based result
// columns, one per field of a row, in the order of the row) as the driver's
// UTF-16 text (NULL as a null text), row after row into cells. A value longer
// than the buffer comes in pieces. Nothing goes through QVariant or Qt's
// per-field length probing, which cost several times the driver's own work
// per field; and a value equal to the one above it in its column shares that
// one's text (sorted results repeat their leading columns), so it costs no
// allocation. Returns the rows read; raises the handle's failure as DbError.
size_t readTextRows(SQLHSTMT h, const std::vector<SQLUSMALLINT>& columns, std::vector<QString>& cells) {
  constexpr SQLLEN kChunk = 4096;  // characters, one of them for the terminator
  constexpr SQLLEN kUnit = sizeof(SQLWCHAR);
  std::vector<SQLWCHAR> buffer(static_cast<size_t>(kChunk));
  const size_t width = columns.size();
  // A driver need not serve columns out of order: they are read left to right.
  std::vector<size_t> order(width);
  for (size_t i = 0; i < width; ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&columns](size_t a, size_t b) { return columns[a] < columns[b]; });
  // The driver knows how many rows it holds; a hint only.
  if (SQLLEN expected = 0; SQL_SUCCEEDED(SQLRowCount(h, &expected)) && expected > 0 && expected < (1 << 24))
    cells.reserve(cells.size() + static_cast<size_t>(expected) * width);
  size_t rows = 0;
  for (;;) {
    SQLRETURN r = SQLFetch(h);
    if (r == SQL_NO_DATA) return rows;
    if (!SQL_SUCCEEDED(r)) throw handleError(h);
    const size_t row = cells.size();
    cells.resize(row + width);
    for (size_t field : order) {
      const QString* above = rows > 0 ? &cells[row - width + field] : nullptr;
      QString& value = cells[row + field];
      for (bool firstPiece = true;; firstPiece = false) {
        SQLLEN indicator = 0;
        r = SQLGetData(h, columns[field], SQL_C_WCHAR, buffer.data(), kChunk * kUnit, &indicator);
        if (r == SQL_NO_DATA) break;  // the last piece was read
        if (!SQL_SUCCEEDED(r)) throw handleError(h);
        if (indicator == SQL_NULL_DATA) break;
        const bool whole = indicator != SQL_NO_TOTAL && indicator / kUnit < kChunk;
        // A piece fills the buffer up to its terminator; a driver may stop
        // short of it rather than split a character.
        const SQLLEN characters =
            whole ? indicator / kUnit
                  : std::find(buffer.begin(), buffer.begin() + (kChunk - 1), SQLWCHAR(0)) - buffer.begin();
        if (!whole && characters == 0)
          throw DbError(QStringLiteral("The ODBC driver sent an empty piece of a long value"));
        const QStringView piece(reinterpret_cast<const char16_t*>(buffer.data()), characters);
        if (whole && firstPiece && above && !above->isNull() && *above == piece)
          value = *above;
        else if (characters > 0)
          value.append(piece);
        else if (value.isNull())
          value = QStringLiteral("");  // an empty text, not a NULL, as Qt's value path gives it
        if (whole) break;
      }
    }
    ++rows;
  }
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

 private:
  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// Qt's ODBC driver frees the connection handle when connecting fails, and
// with it the driver's diagnostic record: Qt keeps the text, not the SQLSTATE.
// So each connect is first made straight through ODBC, with the same string
// and login timeout. A refused connect is reported from that attempt's record
// (its text, SQLSTATE and native code), so a server sees one failed login for
// it, not two; an accepted one is closed again at once and Qt's session is
// opened. Empty when it connected, or when ODBC gave no handle to try with.
std::optional<DbError> refusedConnect(const QString& connectionString) {
  const OdbcHandle env(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  if (env.get() == SQL_NULL_HANDLE ||
      !SQL_SUCCEEDED(SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                                   reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)))
    return std::nullopt;
  const OdbcHandle dbc(SQL_HANDLE_DBC, env.get());
  if (dbc.get() == SQL_NULL_HANDLE) return std::nullopt;
  const auto timeout = static_cast<std::intptr_t>(kLoginTimeoutSeconds);
  SQLSetConnectAttr(dbc.get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout), 0);
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
  std::u16string wide = connectionString.toStdU16String();
  const SQLRETURN r = SQLDriverConnectW(dbc.get(), nullptr,
                                        reinterpret_cast<SQLWCHAR*>(wide.data()), SQL_NTS,
                                        nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  if (SQL_SUCCEEDED(r)) {
    SQLDisconnect(dbc.get());
    return std::nullopt;
  }
  std::optional<DbError> refused = diagnostic(SQL_HANDLE_DBC, dbc.get());
  if (!refused) return DbError(QStringLiteral("The ODBC driver refused the connection and gave no reason"));
  if (refused->message().isEmpty())
    return DbError(QStringLiteral("The ODBC driver refused the connection"), refused->sqlState(),
                   refused->nativeCode());
  return refused;
}

// The TCP sockets this process holds, by descriptor.
std::vector<int> tcpSockets() {
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
    if (::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_TYPE, &type, &typeLength) == 0 &&
        type == SOCK_STREAM &&
        ::getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&address),
                      &addressLength) == 0 &&
        (address.ss_family == AF_INET || address.ss_family == AF_INET6))
      sockets.push_back(static_cast<int>(fd));
  }
  return sockets;
}

// The keepalives and the bound on unacknowledged data of database.h, on one
// session's socket. A setting the system refuses stays at its default.
void keepAlive(int fd) {
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepaliveIdleSeconds, sizeof kKeepaliveIdleSeconds);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepaliveIntervalSeconds,
               sizeof kKeepaliveIntervalSeconds);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kKeepaliveProbes, sizeof kKeepaliveProbes);
  ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &kUnacknowledgedMilliseconds,
               sizeof kUnacknowledgedMilliseconds);
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
  // The driver hands the login timeout to the server connect, which then
  // gives up on a server that accepts and never answers.
  db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(kLoginTimeoutSeconds));
  if (std::optional<DbError> refused = refusedConnect(connectionString)) throw *refused;
  const std::vector<int> before = tcpSockets();
  // Refused after all (the server changed its mind in between): Qt's text.
  if (!db.open()) {
    const QSqlError e = db.lastError();
    throw DbError(errorText(e), QString(), e.nativeErrorCode().section(QLatin1Char(';'), 0, 0).toInt());
  }
  // The driver offers no setting for keepalive times, nor its socket: the
  // session's socket is the TCP socket that connecting added.
  for (int fd : tcpSockets())
    if (std::find(before.begin(), before.end(), fd) == before.end()) keepAlive(fd);
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
  cells_.clear();
  rowCount_ = 0;
  current_ = 0;
}

void Query::open(const QStringList& fields) {
  close();
  connection_.notify(sql_);
  const StatementDone done(connection_, sql_);
  QSqlQuery q(database(connection_));
  q.setForwardOnly(true);
  // Numbers arrive as the database's own text (no rounding through double).
  q.setNumericalPrecisionPolicy(QSql::HighPrecision);
  if (!q.exec(sql_)) connection_.raise(statementError(q));
  const QSqlRecord rec = q.record();
  // The result columns that are read, in the order of the row's fields.
  std::vector<int> picked;
  if (fields.isEmpty()) {
    for (int i = 0; i < rec.count(); ++i) picked.push_back(i);
  } else {
    for (const QString& name : fields) {
      int at = -1;
      for (int i = 0; i < rec.count() && at < 0; ++i)
        if (rec.fieldName(i).compare(name, Qt::CaseInsensitive) == 0) at = i;
      if (at < 0) throw DbError(QStringLiteral("Field '%1' not found").arg(name));
      picked.push_back(at);
    }
  }
  for (int i : picked) columns_ << rec.fieldName(i);
  if (SQLHSTMT h = statementHandle(q); h && !picked.empty() && driverTextIsQtText(rec)) {
    std::vector<SQLUSMALLINT> columns;
    for (int i : picked) columns.push_back(static_cast<SQLUSMALLINT>(i + 1));
    try {
      rowCount_ = readTextRows(h, columns, cells_);
    } catch (const DbError& e) {
      connection_.raise(e);
    }
  } else {
    while (q.next()) {
      for (int i : picked) {
        const QVariant v = q.value(i);
        cells_.push_back(v.isNull() ? QString() : v.toString());
      }
      ++rowCount_;
    }
    if (q.lastError().isValid()) connection_.raise(statementError(q));
  }
  open_ = true;
}

void Query::execSql() {
  close();
  connection_.notify(sql_);
  const StatementDone done(connection_, sql_);
  QSqlQuery q(database(connection_));
  if (!q.exec(sql_)) connection_.raise(statementError(q));
}

bool Query::eof() const { return !open_ || current_ >= rowCount_; }

void Query::next() {
  if (!eof()) ++current_;
}

int Query::recordCount() const { return open_ ? static_cast<int>(rowCount_) : 0; }

int Query::fieldIndex(const QString& name) const {
  for (int i = 0; i < columns_.size(); ++i)
    if (columns_[i].compare(name, Qt::CaseInsensitive) == 0) return i;
  throw DbError(QStringLiteral("Field '%1' not found").arg(name));
}

QString Query::fieldByName(const QString& name) const { return value(fieldIndex(name)); }

QString Query::value(int index) const {
  if (index < 0 || index >= columns_.size())
    throw DbError(QStringLiteral("Field index %1 out of range").arg(index));
  if (eof()) throw DbError(QStringLiteral("No current record"));
  return cells_[current_ * static_cast<size_t>(columns_.size()) + static_cast<size_t>(index)];
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
