#include "app/ProblemRegister.h"

#include "app/Texts.h"
#include "cell/TCell.h"

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
constexpr int kAlignCentre = 36;
constexpr int kSizeMode = 0;
constexpr int kFitMode = 1;
constexpr int kLanguageChinese = 2052;
constexpr int kTitleHeight = 150;
constexpr float kTitleFontSize = 20.0f;
constexpr int kHeaderHeight = 100;
constexpr float kHeaderFontSize = 12.0f;
constexpr int kColumnWidths[] = {350, 1150, 650, 350};  // tenths of a millimetre
constexpr int kSignatureHeight = 100;
constexpr float kSignatureFontSize = 12.0f;

}  // namespace

void layOut(TCell& c) {
  c.SetLanguage(kLanguageChinese);
  c.SetColumnCount(5, kSheet);
  c.setWorkbookReadonly(true);
  c.SetRowHeight(kSizeMode, kTitleHeight, 1, kSheet);
  c.SetCellText(1, 1, kSheet, texts::kRegisterTitle);
  c.MergeRange(0, 1, 4, 1);
  c.SetCellAlign(1, 1, kSheet, kAlignCentre);
  c.SetCellFontSize(1, 1, kSheet, kTitleFontSize);
  c.SetRowHeight(kSizeMode, kHeaderHeight, 2, kSheet);
  const QString headers[] = {texts::kHeaderTable, texts::kHeaderDescription, texts::kHeaderCategory,
                             texts::kHeaderReply};
  for (int col = 1; col <= 4; ++col) {
    c.SetCellText(col, 2, kSheet, headers[col - 1]);
    c.SetCellFontSize(col, 2, kSheet, kHeaderFontSize);
    c.SetCellAlign(col, 2, kSheet, kAlignCentre);
  }
  c.SetFixedRows(2, kSheet);
  for (int col = 1; col <= 4; ++col) c.SetColumnWidth(kSizeMode, kColumnWidths[col - 1], col, kSheet);
  c.SetViewSwitch(1);
  c.SetRowCount(3, kSheet);
  c.DrawRangeLines(1, 2, 4, 2, kLineType, kLineStyle, kLineColour);
  c.ShowTopLabel(0, kSheet);
  c.ShowSideLabel(0);
  c.Redraw();
}

void fill(TCell& c, const RowSource& next, const std::function<void()>& pump) {
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
    if (pump) pump();
  }

  // The row under the last problem takes the signature.
  const int g = c.GetRowCount(kSheet);
  c.DrawRangeLines(1, 2, 4, g, kLineType, kLineStyle, kLineColour);
  for (int i = 2; i <= g; ++i) {
    c.SetRowHeight(kFitMode, c.GetFitRowHeight(i), i, kSheet);
    if (pump) pump();
  }
  c.SetRowCount(g + 1, kSheet);

  c.SetCellTextEx(1, g, kSheet, texts::kSignature);
  c.SetCellFontSize(1, g, kSheet, kSignatureFontSize);
  c.MergeRange(0, g, 4, g);
  c.SetCellAlign(1, g, kSheet, kAlignRight);
  // No inner lines and no side lines: the signature reads as a line under the table.
  c.SetRangeEdge(0, g, 4, g, kEdgeNoInner);
  c.SetRangeEdge(0, g, 4, g, kEdgeNoLeft);
  c.SetRangeEdge(0, g, 4, g, kEdgeNoRight);
  c.SetRowHeight(kSizeMode, kSignatureHeight, g, kSheet);

  c.SetPageTexts(QString(), texts::kPageTexts, QString());
  c.SetPrintTitleRows(1, 2);
}

}  // namespace problem_register
