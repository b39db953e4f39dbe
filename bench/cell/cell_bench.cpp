// Fills the register with the window's own layout (one SetRowCount per row,
// fitted heights, signature row) for growing row counts, exports each to an
// Excel workbook, and reports the times, the time per row and the peak memory.
// Filling must grow linearly: the time per row should stay about the same.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <vector>

#include "app/ProblemRegister.h"
#include "cell/TCell.h"

namespace {

void fill(TCell& c, int rows) {
  problem_register::layOut(c);
  int r = 0;
  problem_register::fill(c, [&](problem_register::ProblemRow& row) {
    if (r == rows) return false;
    ++r;
    row.table = QStringLiteral("中组统%1表").arg(r % 14 + 1);
    row.description =
        QStringLiteral("第%1项：本单位党员总数与各项分类合计不符，请核实后修改，必要时补报说明材料。").arg(r);
    row.category = QStringLiteral("逻辑");
    return true;
  });
}

long peakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int largest = argc > 1 ? std::atoi(argv[1]) : 10000;
  QTemporaryDir dir;
  std::printf("%8s %10s %12s %10s %10s\n", "rows", "fill ms", "us per row", "export ms", "peak MB");
  for (int rows : {largest / 4, largest / 2, largest}) {
    TCell cell;
    QElapsedTimer t;
    t.start();
    fill(cell, rows);
    QApplication::processEvents();
    const double fillMs = t.nsecsElapsed() / 1e6;
    t.restart();
    cell.ExportExcel(dir.filePath(QStringLiteral("bench.xls")));
    const double exportMs = t.nsecsElapsed() / 1e6;
    std::printf("%8d %10.1f %12.1f %10.1f %10.1f\n", rows, fillMs, fillMs * 1000 / rows, exportMs, peakKb() / 1024.0);
  }
  return 0;
}
