#pragma once
// TCell: the spreadsheet control that shows the problem register.
// The operations keep the names and argument orders of the control the
// program was designed around (sheet numbers are accepted and ignored: there
// is one sheet). The view, the Excel export and the printer all draw from one
// sheet model.
//
// Codes (the control's own; TCell.cpp turns them into the sheet's named
// values, and nothing past this facade sees a number):
//   sizes (row height, column width): tenths of a millimetre.
//   SetRowHeight mode: 1 = the row's fitted height, 0 = a fixed one; the
//     column width's mode is ignored.
//   SetCellAlign: 32 = vertically centred, left; 34 = centred, right; 36 = centred, centred
//     (bits: horizontal 1 left, 2 right, 4 centred; vertical 8 top, 16 bottom, 32 centred).
//   SetCellTextStyle: 2 = wrap the text.  SetCellStyle: 7 = ordinary (no effect).
//   DrawRangeLines(type 0, style 2, colour -1): thin black grid over the range.
//   SetRangeEdge: 5 = no inner lines, 2 = no left line, 3 = no right line.
//   ShowTopLabel / ShowSideLabel 0: hide column letters / row numbers.
// Row 0 and column 0 are the label row and column; cells are rows and
// columns from 1 (see cell::Sheet).
#include <QString>
#include <QWidget>

#include <memory>

#include "cell/CellError.h"

class QPrinter;

namespace cell {
class Sheet;
}

class TCell : public QWidget {
  Q_OBJECT
 public:
  explicit TCell(QWidget* parent = nullptr);
  ~TCell() override;

  void SetLanguage(int code);
  void SetColumnCount(int count, int sheet);
  void SetRowCount(int count, int sheet);
  int GetRowCount(int sheet) const;
  void SetRowHeight(int mode, int height, int row, int sheet);
  void SetColumnWidth(int mode, int width, int column, int sheet);
  int GetFitRowHeight(int row) const;
  void SetCellText(int column, int row, int sheet, const QString& text);
  void SetCellTextEx(int column, int row, int sheet, const QString& text);
  void SetCellAlign(int column, int row, int sheet, int code);
  void SetCellFontSize(int column, int row, int sheet, float size);
  void MergeRange(int column1, int row1, int column2, int row2);
  void SetCellStyle(int column, int row, int sheet, int code);
  void SetCellTextStyle(int column, int row, int sheet, int code);
  void DrawRangeLines(int column1, int row1, int column2, int row2, int type, int style, int colour);
  void SetRangeEdge(int column1, int row1, int column2, int row2, int code);
  void SetFixedRows(int count, int sheet);
  void SetViewSwitch(int value);
  void ShowTopLabel(int value, int sheet);
  void ShowSideLabel(int value);
  void Redraw();
  void SetPageTexts(const QString& left, const QString& centre, const QString& right);
  void SetPrintTitleRows(int firstRow, int lastRow);
  // Writes the sheet as an Excel 97-2003 workbook; raises TCellError on any failure
  // and leaves no partial file behind. Returns 1.
  int ExportExcel(const QString& fileName);
  // Prints to the default printer (A4 landscape); raises TCellError on failure.
  void PrintSheet(int value1, int value2, bool flag);

  bool WorkbookReadonly() const;
  void setWorkbookReadonly(bool readOnly);

  // The sheet model, for readers (export, printing, tests).
  const cell::Sheet& sheet() const;

  // Prints to the given printer; PrintSheet uses the default printer. Tests
  // hand a PDF printer here.
  void printTo(QPrinter& printer);

 private:
  void changed();

  class View;
  std::unique_ptr<cell::Sheet> sheet_;
  View* view_ = nullptr;  // child widget, owned by Qt
  bool readOnly_ = false;
};
