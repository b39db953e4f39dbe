// Fills the register with the window's own layout (one SetRowCount per row,
// fitted heights, signature row) from problems held in memory, in a control
// on screen as the window's is, exports it to an Excel workbook, and reports
// the times and the peak memory.
//
// Run by hand, from the build folder:
//   bench/cell/cell_bench                  # 50,000 / 200,000 / 500,000 rows
//   bench/cell/cell_bench 200000           # one size
// Each size runs in a process of its own, so its peak memory (the resident
// set's high-water mark) is its own: "peak fill" after filling, "peak" after
// the export too. Goals: filling and exporting grow linearly (the time per
// row stays about the same); 200,000 rows fill in 1 s, 500,000 export in 2 s.
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
#include "cell/TCell.h"

namespace {

double peakMiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024.0;
}

int runOne(int rows) {
  std::vector<problem_register::ProblemRow> problems;
  problems.reserve(static_cast<std::size_t>(rows));
  for (int i = 0; i < rows; ++i) problems.push_back(bench::problemRow(i));
  QTemporaryDir dir;
  TCell cell;
  problem_register::layOut(cell);
  cell.show();
  QApplication::processEvents();
  QElapsedTimer t;
  t.start();
  std::size_t next = 0;
  problem_register::fill(cell, [&](problem_register::ProblemRow& row) {
    if (next == problems.size()) return false;
    row = problems[next++];
    return true;
  });
  QApplication::processEvents();
  const double fillMs = t.nsecsElapsed() / 1e6;
  const double peakFill = peakMiB();
  const QString file = dir.filePath(QStringLiteral("bench.xls"));
  t.restart();
  cell.ExportExcel(file);
  const double exportMs = t.nsecsElapsed() / 1e6;
  std::printf("%d %.1f %.1f %lld %.1f %.1f\n", rows, fillMs, exportMs, static_cast<long long>(QFileInfo(file).size()),
              peakFill, peakMiB());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc == 3 && QString::fromLatin1(argv[1]) == QStringLiteral("--one")) return runOne(std::atoi(argv[2]));

  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {50000, 200000, 500000};
  std::printf("%8s %10s %12s %10s %12s %12s %14s %10s\n", "rows", "fill ms", "fill us/row", "export ms",
              "export us/row", "xls MiB", "peak fill MiB", "peak MiB");
  for (int rows : sizes) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--one"), QString::number(rows)});
    if (!p.waitForFinished(-1) || p.exitCode() != 0) return 1;
    const QStringList f = QString::fromUtf8(p.readAllStandardOutput()).trimmed().split(QLatin1Char(' '));
    if (f.size() < 6) return 1;
    std::printf("%8d %10.1f %12.2f %10.1f %12.2f %12.1f %14.1f %10.1f\n", rows, f[1].toDouble(),
                f[1].toDouble() * 1000 / rows, f[2].toDouble(), f[2].toDouble() * 1000 / rows,
                f[3].toDouble() / (1024 * 1024), f[4].toDouble(), f[5].toDouble());
  }
  return 0;
}
