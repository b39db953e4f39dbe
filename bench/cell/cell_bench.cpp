// Fills the register the way the main window does (one SetRowCount per row,
// fitted heights, signature row) for growing row counts, exports each to an
// Excel workbook, and reports the times, the time per row and the peak memory.
// Filling must grow linearly: the time per row should stay about the same.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <vector>

#include "app/cell/TCell.h"

namespace {

void fill(TCell& c, int rows) {
  c.SetColumnCount(5, 0);
  c.setWorkbookReadonly(true);
  c.SetRowHeight(0, 150, 1, 0);
  c.SetCellText(1, 1, 0, QStringLiteral("2016年党内统计年报表审核情况登记表"));
  c.MergeRange(0, 1, 4, 1);
  c.SetCellFontSize(1, 1, 0, 20.0f);
  for (int col = 1; col <= 4; ++col) c.SetCellText(col, 2, 0, QStringLiteral("表头"));
  c.SetColumnWidth(0, 350, 1, 0);
  c.SetColumnWidth(0, 1150, 2, 0);
  c.SetColumnWidth(0, 650, 3, 0);
  c.SetColumnWidth(0, 350, 4, 0);
  c.SetFixedRows(2, 0);
  c.SetRowCount(3, 0);
  for (int r = 3; r < rows + 3; ++r) {
    c.SetRowCount(c.GetRowCount(0) + 1, 0);
    c.SetCellAlign(1, r, 0, 32);
    c.SetCellTextEx(1, r, 0, QStringLiteral("中组统%1表").arg(r % 14 + 1));
    c.SetCellAlign(2, r, 0, 32);
    c.SetCellTextStyle(2, r, 0, 2);
    c.SetCellTextEx(2, r, 0,
                    QStringLiteral("第%1项：本单位党员总数与各项分类合计不符，请核实后修改，必要时补报说明材料。").arg(r));
    c.SetCellAlign(3, r, 0, 32);
    c.SetCellTextEx(3, r, 0, QStringLiteral("逻辑"));
  }
  const int g = c.GetRowCount(0);
  c.DrawRangeLines(1, 2, 4, g, 0, 2, -1);
  for (int i = 2; i <= g; ++i) c.SetRowHeight(1, c.GetFitRowHeight(i), i, 0);
  c.SetRowCount(g + 1, 0);
  c.SetCellTextEx(1, g, 0, QStringLiteral("审核人签名："));
  c.MergeRange(0, g, 4, g);
  c.SetRangeEdge(0, g, 4, g, 5);
  c.SetPageTexts(QString(), QStringLiteral("第&P页/共&S页"), QString());
  c.SetPrintTitleRows(1, 2);
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
