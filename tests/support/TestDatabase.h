#pragma once
// A database of its own for one test, made in the shared test cluster from a
// template (rc_empty: compatibility layer and schema; rc_demo: the same with
// the demo data) and dropped again when the object goes.
#include <QString>
#include <QStringList>

#include <memory>
#include <string>

#include "settings/Settings.h"
#include "platform/database.h"

// The builds of the stand-in's ODBC driver: the Unicode one the program is set
// up with, and the narrow one an organisation's own driver may be like. Tests
// that read rows run under both.
inline const QString kUnicodeDriver = QStringLiteral("{PostgreSQL Unicode}");
inline const QString kAnsiDriver = QStringLiteral("{PostgreSQL ANSI}");
inline const QString kOdbcDrivers[] = {kUnicodeDriver, kAnsiDriver};

namespace testsupport {
// A test parameterised by its driver, named "Unicode" or "Ansi"; for
// INSTANTIATE_TEST_SUITE_P(Drivers, Suite, ValuesIn(kOdbcDrivers), driverName).
inline constexpr auto driverName = [](const auto& info) {
  return std::string(info.param == kAnsiDriver ? "Ansi" : "Unicode");
};
}  // namespace testsupport

class TestDatabase {
 public:
  enum class Content { Empty, Demo };
  // driver: the ODBC driver of settings() and of connection().
  explicit TestDatabase(Content content = Content::Empty, const QString& driver = kUnicodeDriver);
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  const QString& name() const { return name_; }
  static int port();

  // Settings that reach this database through the test's ODBC driver.
  DatabaseSettings settings() const;
  QString connectionString() const { return BuildConnectionString(settings()); }

  // Writes statistics.ini for these settings into dir (the password stored
  // scrambled, as the program expects). extraLines go into the section as written.
  void writeStatisticsIni(const QString& dir, const QString& extraLines = QString()) const;
  static void writeStatisticsIni(const QString& dir, const DatabaseSettings& s,
                                 const QString& extraLines = QString());

  // Runs statements on the test's own connection; raises DbError.
  void exec(const QString& sql);
  // The first column of every row of a query, as text.
  QStringList column(const QString& sql);
  // Rows of a query as "a|b|c" lines (NULL as empty).
  QStringList rows(const QString& sql);
  // Rows of a query as lines of the named fields, read by name as the program
  // reads them, joined by "|".
  QStringList fields(const QString& sql, const QStringList& names);

  platform::db::Connection& connection() { return *conn_; }

  // Runs a statement as the superuser on the cluster's maintenance database
  // (for settings of this database: ALTER DATABASE <name()> ...); raises DbError.
  void adminExec(const QString& sql);
  // Ends c's server session from the superuser's connection, as a server
  // restart would, and returns when the server has ended it. c does not
  // learn of it until its next statement.
  void terminateSession(platform::db::Connection& c);

 private:
  QString name_;
  QString driver_;
  std::unique_ptr<platform::db::Connection> admin_;
  std::unique_ptr<platform::db::Connection> conn_;
};

// The inverse of settings::unscramble, for writing settings files.
std::string ScrambleSetting(std::string plain);
