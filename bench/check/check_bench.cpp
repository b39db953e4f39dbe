// Benchmark: the check command's two phases on a generated database, beside
// the time the same statements take when psql sends them to the server, so
// the program's own overhead shows as a ratio.
//
// Needs the test cluster and a generated database:
//   bash db/cluster.sh start /tmp/rc-bench 55433
//   bash db/cluster.sh createdb /tmp/rc-bench 55433 rc_bench 5000
//   RC_TEST_PGPORT=55433 build/bench/check/check_bench rc_bench [formulas]
//   bash db/cluster.sh stop /tmp/rc-bench
//
// The database holds 2016 reports of every template for each organisation and
// the database's own rules. Between the two phases the bench adds generated
// formulas (300 by default) to the working tables, as a rule file would, so
// that the formula statement has work to do. Then:
//   prepare  TFmCheckEdit::PrepareCheckTables (progress window included)
//   run      TFmCheckEdit::RunChecks: formula statement, one INSERT per
//            problem, the 26 built-in rules, the register filled
//   psql     the statements each phase sent, captured and replayed by psql
//            from a file (psql's start-up time taken off)
// and the peak resident memory of the process.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

#include "app/UCheckEdit.h"
#include "cell/TCell.h"
#include "check/SqlText.h"
#include "platform/database.h"
#include "platform/qtext.h"
#include "tests/support/TestDatabase.h"

namespace {

const char* kPassword = "reportcheck";

long peakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

int port() {
  const QByteArray p = qgetenv("RC_TEST_PGPORT");
  return p.isEmpty() ? 55433 : p.toInt();
}

void writeIni(const QString& dir, const QString& database) {
  QFile f(dir + QStringLiteral("/statistics.ini"));
  if (!f.open(QIODevice::WriteOnly)) std::exit(2);
  const std::string text = "[ValidDataBase]\r\nDRIVER={PostgreSQL Unicode}\r\nServerName=127.0.0.1\r\n"
                           "Database=" + database.toStdString() + "\r\nLogId=ADMIN\r\nLogPassword=" +
                           ScrambleSetting(kPassword) + "\r\nPORT=" + std::to_string(port()) + "\r\n";
  f.write(text.data(), static_cast<qint64>(text.size()));
}

// Cells that every generated report carries (template, rows, columns).
struct Cells {
  const char* temId;
  int rows, cols;
};
const Cells kCells[] = {{"18000400", 19, 4}, {"18000700", 21, 2}, {"18000800", 4, 8}, {"18001500", 3, 7}};

// Formulas in the shape of a rule file's: most hold almost everywhere
// (a <= a + b), one in ten compares two cells over one level of the tree.
QStringList formulaInserts(int count) {
  QStringList out;
  unsigned seed = 20160101;
  auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<unsigned>(n));
  };
  const char* describes[] = {"$D第%1条：左右两边应相等", "$D第%1条增幅为$V", "$D第%1条$V 比重大的要审核"};
  for (int i = 0; i < count; ++i) {
    const Cells& c = kCells[next(4)];
    const QString id = QStringLiteral("bench_%1").arg(i);
    const bool sharp = i % 10 == 0;
    const QString describe = QString::fromUtf8(describes[i % 3]).arg(i);
    out << QStringLiteral("INSERT INTO TMP_FORMULA VALUES (%1, %2, %3, %4, %5, %6, %7, %8, '', '')")
               .arg(check::quoteLiteral(id), check::quoteLiteral(QString::number(11 + i % 4)),
                    check::quoteLiteral(describe), check::quoteLiteral(sharp ? "2" : "1"),
                    check::quoteLiteral(QString::number(i)), check::quoteLiteral(c.temId),
                    check::quoteLiteral(sharp ? "x" : ""), check::quoteLiteral(sharp ? "10" : "99999"));
    const int a = 1 + next(c.rows), b = 1 + next(c.rows), col = 1 + next(c.cols);
    const struct {
      int side, line, row;
    } elements[] = {{0, 1, a}, {1, 1, a}, {1, 2, b}};
    for (const auto& e : elements) {
      if (sharp && e.line == 1 && e.side == 1) continue;  // a = b
      out << QStringLiteral("INSERT INTO TMP_FORMULAELEMENT (S_FRMLID, I_TYPE, I_LINE, S_BTIME, S_ETIME, "
                            "S_TIME, S_TEMID, I_COL, I_ROW, I_BALANCE) VALUES (%1, '%2', '%3', "
                            "'20160101', '20161231', '2016', %4, '%5', '%6', '1')")
                 .arg(check::quoteLiteral(id))
                 .arg(e.side)
                 .arg(e.line)
                 .arg(check::quoteLiteral(c.temId))
                 .arg(col)
                 .arg(e.row);
    }
  }
  return out;
}

// Runs a file of statements through psql; returns the wall time in ms.
double psqlMs(const QString& database, const QString& file) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("PGPASSWORD", kPassword);
  env.insert("PGCLIENTENCODING", "UTF8");
  p.setProcessEnvironment(env);
  QElapsedTimer t;
  t.start();
  p.start("psql", {"-X", "-q", "-h", "127.0.0.1", "-p", QString::number(port()), "-U", "ADMIN", "-d",
                   database, "-v", "ON_ERROR_STOP=1", "-o", "/dev/null", "-f", file});
  p.waitForFinished(-1);
  const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
  if (p.exitCode() != 0) {
    std::fprintf(stderr, "psql failed: %s\n", p.readAllStandardError().constData());
    std::exit(3);
  }
  return ms;
}

QString writeStatements(const QString& dir, const char* name, const QStringList& statements) {
  const QString path = dir + QLatin1Char('/') + QLatin1String(name);
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) std::exit(2);
  for (const QString& s : statements) f.write((s + QStringLiteral(";\n")).toUtf8());
  return path;
}

double msSince(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString database = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("rc_bench");
  const int formulas = argc > 2 ? std::atoi(argv[2]) : 300;

  QTemporaryDir dir;
  writeIni(dir.path(), database);
  TFmCheckEdit w(dir.path());
  if (!w.dbConnected()) {
    std::fprintf(stderr, "no connection to %s on port %d\n", qPrintable(database), port());
    return 1;
  }
  w.show();

  // A first preparation leaves the working tables in place, as every check
  // after the first finds them; the timed one and psql's replay then drop them.
  w.PrepareCheckTables();

  QStringList sent;
  w.connection().setStatementObserver([&sent](const QString& sql) { sent << sql; });

  QElapsedTimer t;
  t.start();
  w.PrepareCheckTables();
  const double prepareMs = msSince(t);
  const QStringList prepareSql = sent;

  const QStringList formulaSql = formulaInserts(formulas);
  {
    platform::db::Query q(w.connection());
    q.setSql(formulaSql.join(QStringLiteral(";\n")));
    q.execSql();
  }

  // Where the run's time goes: each interval between two statements is put
  // down to the earlier one (its round trip and the program's work on it).
  enum Kind { Formula, Insert, Rule, Register, Kinds };
  const char* kindNames[] = {"formula statement and its rows", "problem INSERTs",
                             "built-in rule statements and rows", "register fill"};
  double kindMs[Kinds] = {};
  int kindCount[Kinds] = {};
  Kind last = Formula;
  double lastAt = 0;
  sent.clear();
  t.restart();
  w.connection().setStatementObserver([&](const QString& sql) {
    const double now = msSince(t);
    if (!sent.isEmpty()) kindMs[last] += now - lastAt;
    sent << sql;
    last = sql.startsWith(QLatin1String("insert")) ? Insert
           : sql.startsWith(QLatin1String("SELECT I_CHECKTYPE")) ? Formula
           : sql.startsWith(QLatin1String("select * from TMP_CONTENT")) ? Register
                                                                          : Rule;
    ++kindCount[last];
    lastAt = now;
  });
  w.RunChecks();
  const double runMs = msSince(t);
  kindMs[last] += runMs - lastAt;
  const QStringList runSql = sent;
  w.connection().setStatementObserver(nullptr);
  const long peak = peakKiB();

  platform::db::Query count(w.connection());
  count.setSql(QStringLiteral("SELECT COUNT(*) FROM D01"));
  count.open();
  const QString orgs = count.value(0);
  count.setSql(QStringLiteral("SELECT COUNT(*) FROM TMP_CONTENT"));
  count.open();
  const QString problems = count.value(0);

  // The same statements from psql: startup taken off, the formulas put back
  // between the phases as before.
  const double startupMs = psqlMs(database, writeStatements(dir.path(), "empty.sql", {"SELECT 1"}));
  const double psqlPrepareMs = psqlMs(database, writeStatements(dir.path(), "prepare.sql", prepareSql)) - startupMs;
  psqlMs(database, writeStatements(dir.path(), "formulas.sql", formulaSql));
  const double psqlRunMs = psqlMs(database, writeStatements(dir.path(), "run.sql", runSql)) - startupMs;

  std::printf("organisations %s, formulas %d, problem rows %s, statements: prepare %lld, run %lld\n",
              qPrintable(orgs), formulas, qPrintable(problems), static_cast<long long>(prepareSql.size()),
              static_cast<long long>(runSql.size()));
  std::printf("%-8s %12s %12s %8s\n", "phase", "program ms", "psql ms", "ratio");
  std::printf("%-8s %12.1f %12.1f %8.2f\n", "prepare", prepareMs, psqlPrepareMs, prepareMs / psqlPrepareMs);
  std::printf("%-8s %12.1f %12.1f %8.2f\n", "run", runMs, psqlRunMs, runMs / psqlRunMs);
  std::printf("%-8s %12.1f %12.1f %8.2f\n", "total", prepareMs + runMs, psqlPrepareMs + psqlRunMs,
              (prepareMs + runMs) / (psqlPrepareMs + psqlRunMs));
  std::printf("run, by statement kind (program):\n");
  for (int k = 0; k < Kinds; ++k)
    std::printf("  %-36s %7d statements %10.1f ms\n", kindNames[k], kindCount[k], kindMs[k]);
  std::printf("peak resident memory %ld KiB\n", peak);
  return 0;
}
