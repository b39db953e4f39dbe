// Benchmark: fill the problem register from a TMP_CONTENT of N rows, export it
// as a workbook, and check that filling grows linearly with N.
//
// Needs the test cluster running:
//   bash db/cluster.sh start /tmp/rc-bench 55433
//   RC_TEST_PGPORT=55433 build/bench/register/register_bench            # 2,500 / 5,000 / 10,000
//   RC_TEST_PGPORT=55433 build/bench/register/register_bench 10000      # one size
//   bash db/cluster.sh stop /tmp/rc-bench
//
// Each size runs in a process of its own, so the peak memory reported (the
// resident set's high-water mark) belongs to that size alone. Times:
//   datetocell  the window's Datetocell: query TMP_CONTENT and fill the sheet
//   fill        the sheet fill alone, from rows held in memory
//   export      ExportExcel of the filled register
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <vector>

#include "app/ProblemRegister.h"
#include "bench/ProblemRows.h"
#include "app/UCheckEdit.h"
#include "cell/TCell.h"
#include "tests/support/GoldenSql.h"
#include "tests/support/TestDatabase.h"

namespace {

long peakKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

int runOne(int n) {
  TestDatabase db;
  QTemporaryDir dir;
  db.writeStatisticsIni(dir.path());
  testsupport::createProblemTable(db);
  std::vector<problem_register::ProblemRow> rows;
  rows.reserve(n);
  for (int i = 0; i < n; ++i) rows.push_back(bench::problemRow(i));
  for (int start = 0; start < n; start += 1000) {
    QStringList values;
    for (int i = start; i < std::min(n, start + 1000); ++i)
      values << QStringLiteral("('%1','%2','%3','%4','%5','')")
                    .arg(i)
                    .arg(17000000 + i % 12)
                    .arg(rows[i].table, rows[i].description, rows[i].category);
    db.exec(QStringLiteral("INSERT INTO TMP_CONTENT VALUES ") + values.join(QLatin1Char(',')));
  }
  const long before = peakKiB();

  TFmCheckEdit w(dir.path());
  if (!w.dbConnected()) {
    std::fprintf(stderr, "cannot connect to the test cluster\n");
    return 1;
  }
  w.show();
  TCell& c = w.cell();

  QElapsedTimer t;
  t.start();
  w.Datetocell();
  const double datetocellMs = t.nsecsElapsed() / 1e6;
  if (c.GetRowCount(0) != n + 4) {
    std::fprintf(stderr, "register has %d rows, expected %d\n", c.GetRowCount(0), n + 4);
    return 1;
  }

  const QString file = dir.filePath(QStringLiteral("register.xls"));
  t.restart();
  c.ExportExcel(file);
  const double exportMs = t.nsecsElapsed() / 1e6;

  c.SetRowCount(3, 0);
  size_t next = 0;
  t.restart();
  problem_register::fill(c, [&](problem_register::ProblemRow& row) {
    if (next == rows.size()) return false;
    row = rows[next++];
    return true;
  });
  const double fillMs = t.nsecsElapsed() / 1e6;

  std::printf("%d %.1f %.1f %.1f %lld %ld %ld\n", n, datetocellMs, fillMs, exportMs,
              static_cast<long long>(QFileInfo(file).size()), peakKiB(), before);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc == 2) return runOne(QString::fromLocal8Bit(argv[1]).toInt());

  std::printf("%8s %14s %10s %10s %12s %12s\n", "rows", "datetocell ms", "fill ms", "export ms",
              "xls bytes", "peak MiB");
  std::vector<std::pair<int, double>> fills;
  for (int n : {2500, 5000, 10000}) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), {QString::number(n)});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) return 1;
    const QStringList f = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char(' '));
    if (f.size() < 7) return 1;
    std::printf("%8d %14.1f %10.1f %10.1f %12lld %12.1f\n", n, f[1].toDouble(), f[2].toDouble(),
                f[3].toDouble(), f[4].toLongLong(), f[5].toDouble() / 1024.0);
    fills.emplace_back(n, f[1].toDouble());
  }
  // Linear growth keeps the time per row about the same; quadratic doubles it
  // with every doubling of the rows.
  const double perRowSmall = fills.front().second / fills.front().first;
  const double perRowLarge = fills.back().second / fills.back().first;
  std::printf("datetocell time per row, 10000 vs 2500 rows: %.2fx (%s)\n", perRowLarge / perRowSmall,
              perRowLarge / perRowSmall < 2.0 ? "linear" : "faster than linear");
  return perRowLarge / perRowSmall < 2.0 ? 0 : 2;
}
