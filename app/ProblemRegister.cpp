#include "app/ProblemRegister.h"

#include "app/Texts.h"
#include "app/cell/TCell.h"
#include "platform/database.h"

namespace problem_register {
namespace {

// Control codes (see TCell.h).
constexpr int kSheet = 0;
constexpr int kStyleOrdinary = 7;
constexpr int kTextWrap = 2;
constexpr int kAlignLeft = 32;
constexpr int kAlignRight = 34;
constexpr int kLineType = 0;
constexpr int kLineStyle = 2;
constexpr int kLineColour = -1;
constexpr int kEdgeNoInner = 5;
constexpr int kEdgeNoLeft = 2;
constexpr int kEdgeNoRight = 3;
constexpr int kSignatureHeight = 100;
constexpr float kSignatureFontSize = 12.0f;

}  // namespace

RowSource rowsOf(platform::db::Query& query) {
  return [&query](ProblemRow& row) {
    if (query.eof()) return false;
    row.table = query.fieldByName(QStringLiteral("RPTSCR"));
    row.description = query.fieldByName(QStringLiteral("CONTENTSCR"));
    row.category = query.fieldByName(QStringLiteral("CONTENTTYPE"));
    query.next();
    return true;
  };
}

void fill(TCell& c, const RowSource& next) {
  int r = 3;
  ProblemRow row;
  while (next(row)) {
    c.SetRowCount(c.GetRowCount(kSheet) + 1, kSheet);
    c.SetCellStyle(1, r, kSheet, kStyleOrdinary);
    c.SetCellAlign(1, r, kSheet, kAlignLeft);
    c.SetCellTextEx(1, r, kSheet, row.table);
    c.SetCellStyle(2, r, kSheet, kStyleOrdinary);
    c.SetCellAlign(2, r, kSheet, kAlignLeft);
    c.SetCellTextStyle(2, r, kSheet, kTextWrap);
    c.SetCellTextEx(2, r, kSheet, row.description);
    c.SetCellStyle(3, r, kSheet, kStyleOrdinary);
    c.SetCellAlign(3, r, kSheet, kAlignLeft);
    c.SetCellTextEx(3, r, kSheet, row.category);
    ++r;
  }

  // The row under the last problem takes the signature.
  const int g = c.GetRowCount(kSheet);
  c.DrawRangeLines(1, 2, 4, g, kLineType, kLineStyle, kLineColour);
  for (int i = 2; i <= g; ++i) c.SetRowHeight(1, c.GetFitRowHeight(i), i, kSheet);
  c.SetRowCount(g + 1, kSheet);

  c.SetCellTextEx(1, g, kSheet, texts::kSignature);
  c.SetCellFontSize(1, g, kSheet, kSignatureFontSize);
  c.MergeRange(0, g, 4, g);
  c.SetCellAlign(1, g, kSheet, kAlignRight);
  // No inner lines and no side lines: the signature reads as a line under the table.
  c.SetRangeEdge(0, g, 4, g, kEdgeNoInner);
  c.SetRangeEdge(0, g, 4, g, kEdgeNoLeft);
  c.SetRangeEdge(0, g, 4, g, kEdgeNoRight);
  c.SetRowHeight(0, kSignatureHeight, g, kSheet);

  c.SetPageTexts(QString(), texts::kPageTexts, QString());
  c.SetPrintTitleRows(1, 2);
}

}  // namespace problem_register
