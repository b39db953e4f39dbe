// The connection at its edges, against the real test cluster: connects that
// fail say why, sessions that the server ends by its timeouts count as lost,
// and the session's socket carries the keepalives. A server that never
// answers a connect or a reopen: see the start-up and check command tests.
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/database.h"
#include "tests/support/TestDatabase.h"

using platform::db::Connection;
using platform::db::DbError;
using platform::db::Query;

namespace {

// A role of the test's own with one setting, dropped when it goes.
class Role {
 public:
  Role(TestDatabase& db, const QString& setting) : db_(db), name_(db.name() + QStringLiteral("_r")) {
    db_.adminExec(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD 'pw'").arg(name_));
    db_.adminExec(QStringLiteral("ALTER ROLE %1 SET %2").arg(name_, setting));
  }
  ~Role() {
    try {
      db_.adminExec(QStringLiteral("DROP ROLE %1").arg(name_));
    } catch (...) {
    }
  }
  QString connectionString() const {
    DatabaseSettings s = db_.settings();
    s.LogId = name_;
    s.Password = QStringLiteral("pw");
    return BuildConnectionString(s);
  }

 private:
  TestDatabase& db_;
  QString name_;
};

int intOption(int fd, int level, int name) {
  int value = -1;
  socklen_t length = sizeof value;
  return ::getsockopt(fd, level, name, &value, &length) == 0 ? value : -1;
}

// The descriptor of this process's TCP socket whose local port is port; -1 when none.
int socketWithLocalPort(int port) {
  for (int fd = 0; fd < 1024; ++fd) {
    sockaddr_storage a{};
    socklen_t length = sizeof a;
    if (intOption(fd, SOL_SOCKET, SO_TYPE) != SOCK_STREAM ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0)
      continue;
    if (a.ss_family == AF_INET && ntohs(reinterpret_cast<sockaddr_in*>(&a)->sin_port) == port)
      return fd;
    if (a.ss_family == AF_INET6 && ntohs(reinterpret_cast<sockaddr_in6*>(&a)->sin6_port) == port)
      return fd;
  }
  return -1;
}

}  // namespace

TEST(ConnectionFaults, FailedConnectsGiveTheDriversTextAndSqlState) {
  TestDatabase db;
  DatabaseSettings wrongPassword = db.settings();
  wrongPassword.Password = QStringLiteral("not the password");
  DatabaseSettings missingDatabase = db.settings();
  missingDatabase.Database = QStringLiteral("no_such_database");
  DatabaseSettings refusedPort = db.settings();
  refusedPort.Port = QStringLiteral("1");
  DatabaseSettings unknownDriver = db.settings();
  unknownDriver.Driver = QStringLiteral("{No Such Driver}");
  // Measured: the PostgreSQL driver reports every failed server connect as
  // 08001 with the server's or the network's own words; the driver manager
  // reports a driver it cannot load as 01000.
  const struct {
    const char* what;
    DatabaseSettings settings;
    const char* state;
    const char* text;
  } cases[] = {
      {"wrong password", wrongPassword, "08001", "password authentication failed"},
      {"missing database", missingDatabase, "08001", "\"no_such_database\" does not exist"},
      {"refused port", refusedPort, "08001", "Connection refused"},
      {"unknown driver", unknownDriver, "01000", "No Such Driver"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Connection connection;
    try {
      connection.open(BuildConnectionString(c.settings));
      ADD_FAILURE() << "opened";
    } catch (const DbError& e) {
      EXPECT_EQ(e.sqlState(), QString::fromLatin1(c.state)) << e.what();
      EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.text))) << e.what();
    }
    EXPECT_FALSE(connection.isOpen());
  }
}

// A wrong password is tried once per connect: a server that locks a login
// after a number of failures counts one for each start-up, not two.
TEST(ConnectionFaults, AWrongPasswordIsOneFailedLoginOnTheServer) {
  TestDatabase db;
  const QString user = db.name() + QStringLiteral("_nobody");
  DatabaseSettings s = db.settings();
  s.LogId = user;
  s.Password = QStringLiteral("not the password");
  Connection connection;
  EXPECT_THROW(connection.open(BuildConnectionString(s)), DbError);
  // The server writes its refusal to its log before it answers the client.
  QFile log(qEnvironmentVariable("RC_TEST_PGDIR") + QStringLiteral("/server.log"));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << log.fileName().toStdString();
  const QByteArray refusal = "password authentication failed for user \"" + user.toUtf8() + '"';
  EXPECT_EQ(log.readAll().count(refusal), 1);
}

// The server ends a session that sat idle, or idle inside a transaction, past
// its role's timeout: the next statement says that the session is lost, and
// the liveness probe before a command finds it so.
TEST(ConnectionFaults, SessionsEndedByTheServersTimeoutsAreLost) {
  TestDatabase db;
  const struct {
    const char* setting;
    bool inTransaction;
    const char* state;
  } cases[] = {
      {"idle_session_timeout = '1s'", false, "57P05"},
      {"idle_in_transaction_session_timeout = '1s'", true, "25P03"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting);
    const Role role(db, QString::fromLatin1(c.setting));
    for (const bool probeFirst : {false, true}) {
      Connection connection;
      connection.open(role.connectionString());
      Query q(connection);
      q.setSql(QStringLiteral("SELECT 1"));
      std::optional<platform::db::Transaction> transaction;
      if (c.inTransaction) {
        transaction.emplace(connection);
        q.execSql();
      }
      QThread::msleep(2500);
      if (probeFirst) {
        connection.checkAlive();
      } else {
        try {
          q.execSql();
          ADD_FAILURE() << "ran on an ended session";
        } catch (const DbError& e) {
          EXPECT_EQ(e.sqlState(), QString::fromLatin1(c.state)) << e.what();
          EXPECT_TRUE(e.connectionLost());
        }
      }
      EXPECT_TRUE(connection.lost());
      transaction.reset();
      connection.reopen();
      q.execSql();
      EXPECT_FALSE(connection.lost());
    }
  }
}

// A network that drops the session silently cannot be made here; what the
// session relies on to notice one is read back from its own socket: the
// socket whose local port the server names as the session's client port.
TEST(ConnectionFaults, SessionSocketCarriesTheKeepalives) {
  TestDatabase db;
  Connection connection;
  testing::internal::CaptureStderr();
  connection.open(db.connectionString());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // found, so nothing to say
  for (const char* when : {"opened", "reopened"}) {
    SCOPED_TRACE(when);
    Query q(connection);
    q.setSql(QStringLiteral("SELECT inet_client_port()"));
    q.open();
    const int fd = socketWithLocalPort(q.value(0).toInt());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(intOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_KEEPIDLE), platform::db::kKeepaliveIdleSeconds);
    EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_KEEPINTVL), platform::db::kKeepaliveIntervalSeconds);
    EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_KEEPCNT), platform::db::kKeepaliveProbes);
    EXPECT_EQ(intOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT), platform::db::kUnacknowledgedMilliseconds);
    // Noticed within about a minute.
    EXPECT_LE(platform::db::kKeepaliveIdleSeconds +
                  platform::db::kKeepaliveProbes * platform::db::kKeepaliveIntervalSeconds,
              60);
    db.terminateSession(connection);
    connection.checkAlive();
    connection.reopen();
  }
}

// A session over the server's Unix socket has no TCP socket to set: the
// connection says so on standard error instead of setting another one's.
TEST(ConnectionFaults, ASessionWithoutATcpSocketSaysSoOnStandardError) {
  TestDatabase db;
  DatabaseSettings s = db.settings();
  s.ServerName = qEnvironmentVariable("RC_TEST_PGDIR");  // the folder of its socket
  if (s.ServerName.size() + 20 > 107) GTEST_SKIP() << "the cluster's folder is too long for a Unix socket";
  Connection connection;
  testing::internal::CaptureStderr();
  connection.open(BuildConnectionString(s));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("socket was not found"), std::string::npos) << said;
  EXPECT_NE(connection.serverProcessId(), 0);
  Query q(connection);
  q.setSql(QStringLiteral("SELECT inet_client_port() IS NULL"));
  q.open();
  EXPECT_EQ(q.value(0), QStringLiteral("1"));
}

// A server name with several addresses is tried address by address, each
// within the login timeout: a first address that accepts and never answers
// costs one timeout before the second one logs in, not two (one connect).
TEST(ConnectionFaults, ADeadFirstAddressCostsOneLoginTimeout) {
  TestDatabase db;
  // 127.0.0.2 on the cluster's port: the server listens on 127.0.0.1 only,
  // so this socket of the test's own takes the connect and never answers.
  const int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(silent, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(TestDatabase::port()));
  a.sin_addr.s_addr = htonl(0x7F000002);
  ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << std::strerror(errno);
  ASSERT_EQ(::listen(silent, 8), 0);
  DatabaseSettings s = db.settings();
  s.ServerName = QStringLiteral("127.0.0.2,127.0.0.1");
  Connection connection;
  QElapsedTimer clock;
  clock.start();
  connection.open(BuildConnectionString(s));
  const qint64 ms = clock.elapsed();
  ::close(silent);
  EXPECT_TRUE(connection.isOpen());
  EXPECT_GE(ms, (platform::db::kLoginTimeoutSeconds - 1) * 1000);
  EXPECT_LT(ms, (2 * platform::db::kLoginTimeoutSeconds - 2) * 1000);
}
