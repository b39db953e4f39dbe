#pragma once
// Test fixture: the problem register laid out and filled the way the main
// window does it (title, header, problem rows, signature row, page settings).
#include <QString>

#include <vector>

#include "app/cell/TCell.h"

namespace celltest {

struct Problem {
  QString table;
  QString description;
  QString category;
};

inline const QString kTitle = QStringLiteral("2016年党内统计年报表审核情况登记表");
inline const QString kSignature = QStringLiteral("审核人签名：                      ");

inline void fillRegister(TCell& c, const std::vector<Problem>& problems) {
  c.SetLanguage(2052);
  c.SetColumnCount(5, 0);
  c.setWorkbookReadonly(true);
  c.SetRowHeight(0, 150, 1, 0);
  c.SetCellText(1, 1, 0, kTitle);
  c.MergeRange(0, 1, 4, 1);
  c.SetCellAlign(1, 1, 0, 36);
  c.SetCellFontSize(1, 1, 0, 20.0f);
  c.SetRowHeight(0, 100, 2, 0);
  const QString headers[] = {QStringLiteral("表号"), QStringLiteral("问题描述"), QStringLiteral("类别"),
                             QStringLiteral("回复情况")};
  for (int col = 1; col <= 4; ++col) {
    c.SetCellText(col, 2, 0, headers[col - 1]);
    c.SetCellFontSize(col, 2, 0, 12.0f);
    c.SetCellAlign(col, 2, 0, 36);
  }
  c.SetFixedRows(2, 0);
  c.SetColumnWidth(0, 350, 1, 0);
  c.SetColumnWidth(0, 1150, 2, 0);
  c.SetColumnWidth(0, 650, 3, 0);
  c.SetColumnWidth(0, 350, 4, 0);
  c.SetViewSwitch(1);
  c.SetRowCount(3, 0);
  c.DrawRangeLines(1, 2, 4, 2, 0, 2, -1);
  c.ShowTopLabel(0, 0);
  c.ShowSideLabel(0);
  c.Redraw();

  int r = 3;
  for (const Problem& p : problems) {
    c.SetRowCount(c.GetRowCount(0) + 1, 0);
    c.SetCellStyle(1, r, 0, 7);
    c.SetCellAlign(1, r, 0, 32);
    c.SetCellTextEx(1, r, 0, p.table);
    c.SetCellStyle(2, r, 0, 7);
    c.SetCellAlign(2, r, 0, 32);
    c.SetCellTextStyle(2, r, 0, 2);
    c.SetCellTextEx(2, r, 0, p.description);
    c.SetCellStyle(3, r, 0, 7);
    c.SetCellAlign(3, r, 0, 32);
    c.SetCellTextEx(3, r, 0, p.category);
    ++r;
  }
  const int g = c.GetRowCount(0);
  c.DrawRangeLines(1, 2, 4, g, 0, 2, -1);
  for (int i = 2; i <= g; ++i) c.SetRowHeight(1, c.GetFitRowHeight(i), i, 0);
  c.SetRowCount(g + 1, 0);
  c.SetCellTextEx(1, g, 0, kSignature);
  c.SetCellFontSize(1, g, 0, 12.0f);
  c.MergeRange(0, g, 4, g);
  c.SetCellAlign(1, g, 0, 34);
  c.SetRangeEdge(0, g, 4, g, 5);
  c.SetRangeEdge(0, g, 4, g, 2);
  c.SetRangeEdge(0, g, 4, g, 3);
  c.SetRowHeight(0, 100, g, 0);
  c.SetPageTexts(QString(), QStringLiteral("第&P页/共&S页"), QString());
  c.SetPrintTitleRows(1, 2);
}

inline std::vector<Problem> numberedProblems(int count) {
  std::vector<Problem> out;
  for (int i = 1; i <= count; ++i)
    out.push_back({QStringLiteral("中组统%1表").arg(i % 14 + 1), QStringLiteral("第%1项：党员人数与合计不符，请核实。").arg(i),
                   QStringLiteral("逻辑")});
  return out;
}

}  // namespace celltest
