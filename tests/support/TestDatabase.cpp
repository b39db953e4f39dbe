#include "tests/support/TestDatabase.h"

#include <QCoreApplication>
#include <QFile>
#include <QUuid>

#include <stdexcept>

#include "platform/qtext.h"
#include "tests/support/GoldenSql.h"

namespace {

DatabaseSettings clusterSettings(const QString& database, const QString& driver = kUnicodeDriver) {
  DatabaseSettings s;
  s.Provider = QStringLiteral("MSDASQL.1");
  s.Driver = driver;
  s.ServerName = QStringLiteral("127.0.0.1");
  s.Database = database;
  s.LogId = QStringLiteral("ADMIN");
  s.Password = QStringLiteral("reportcheck");
  s.Port = QString::number(TestDatabase::port());
  s.UserName = QStringLiteral("admin");
  s.VersionType = QStringLiteral("vtSingle");
  return s;
}

}  // namespace

int TestDatabase::port() {
  const QByteArray p = qgetenv("RC_TEST_PGPORT");
  return p.isEmpty() ? 55433 : p.toInt();
}

TestDatabase::TestDatabase(Content content, const QString& driver)
    : name_(QStringLiteral("t_") +
            QUuid::createUuid().toString(QUuid::Id128).left(16)),
      driver_(driver),
      admin_(std::make_unique<platform::db::Connection>()),
      conn_(std::make_unique<platform::db::Connection>()) {
  admin_->open(BuildConnectionString(clusterSettings(QStringLiteral("postgres"))));
  platform::db::Query q(*admin_);
  const QString tmpl = content == Content::Demo ? QStringLiteral("rc_demo") : QStringLiteral("rc_empty");
  q.setSql(QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(name_, tmpl));
  q.execSql();
  conn_->open(connectionString());
}

TestDatabase::~TestDatabase() {
  conn_.reset();
  try {
    platform::db::Query q(*admin_);
    q.setSql(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name_));
    q.execSql();
  } catch (...) {
    // The cluster goes away at the end of the run anyway.
  }
}

DatabaseSettings TestDatabase::settings() const { return clusterSettings(name_, driver_); }

void TestDatabase::writeStatisticsIni(const QString& dir, const QString& extraLines) const {
  writeStatisticsIni(dir, settings(), extraLines);
}

void TestDatabase::writeStatisticsIni(const QString& dir, const DatabaseSettings& s,
                                      const QString& extraLines) {
  QFile f(dir + QStringLiteral("/statistics.ini"));
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
    throw std::runtime_error("cannot write statistics.ini");
  std::string text = "[ValidDataBase]\r\n";
  text += "DRIVER=" + platform::toAnsi(s.Driver) + "\r\n";
  text += "ServerName=" + platform::toAnsi(s.ServerName) + "\r\n";
  text += "Database=" + platform::toAnsi(s.Database) + "\r\n";
  text += "LogId=" + platform::toAnsi(s.LogId) + "\r\n";
  text += "LogPassword=" + ScrambleSetting(platform::toAnsi(s.Password)) + "\r\n";
  text += "PORT=" + platform::toAnsi(s.Port) + "\r\n";
  text += platform::toAnsi(extraLines);
  f.write(text.data(), static_cast<qint64>(text.size()));
}

void TestDatabase::exec(const QString& sql) {
  platform::db::Query q(*conn_);
  q.setSql(sql);
  q.execSql();
}

QStringList TestDatabase::column(const QString& sql) {
  platform::db::Query q(*conn_);
  q.setSql(sql);
  q.open();
  QStringList out;
  for (; !q.eof(); q.next()) out << q.value(0);
  return out;
}

QStringList TestDatabase::rows(const QString& sql) {
  platform::db::Query q(*conn_);
  q.setSql(sql);
  q.open();
  QStringList out;
  for (; !q.eof(); q.next()) {
    QStringList fields;
    for (int i = 0; i < q.fieldCount(); ++i) fields << q.value(i);
    out << fields.join(QLatin1Char('|'));
  }
  return out;
}

QStringList TestDatabase::fields(const QString& sql, const QStringList& names) {
  platform::db::Query q(*conn_);
  q.setSql(sql);
  q.open();
  QStringList out;
  for (; !q.eof(); q.next()) {
    QStringList row;
    for (const QString& n : names) row << q.fieldByName(n);
    out << row.join(QLatin1Char('|'));
  }
  return out;
}

void TestDatabase::adminExec(const QString& sql) {
  platform::db::Query q(*admin_);
  q.setSql(sql);
  q.execSql();
}

void TestDatabase::terminateSession(platform::db::Connection& c) {
  // Known from the connect, so that statement observers see nothing.
  if (c.serverProcessId() == 0) throw std::runtime_error("no server session to end");
  platform::db::Query q(*admin_);
  q.setSql(QStringLiteral("SELECT pg_terminate_backend(%1, 10000)").arg(c.serverProcessId()));
  q.open();
  const QString ended = q.value(0);
  if (ended != QLatin1String("1") && ended != QLatin1String("t") && ended != QLatin1String("true"))
    throw std::runtime_error("the session did not end");
}

std::string ScrambleSetting(std::string s) {
  int k = static_cast<int>(s.size()) + 11;
  for (size_t i = 1; i <= s.size(); ++i) {
    k = (k + static_cast<int>(i)) % 19;
    s[i - 1] = static_cast<char>((static_cast<unsigned char>(s[i - 1]) + 256 - k) % 256);
  }
  return s;
}

namespace testsupport {

void createWorkingTables(TestDatabase& db) {
  createProblemTable(db);
  db.exec(golden::sql("create_tmp_formulaelement"));
  db.exec(golden::sql("create_tmp_formula"));
}

void createProblemTable(TestDatabase& db) { db.exec(golden::sql("create_tmp_content")); }

}  // namespace testsupport
