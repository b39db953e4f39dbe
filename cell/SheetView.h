#pragma once
// cell::SheetView: the on-screen view of a sheet. Label row and column (when
// shown) and the sheet's fixed rows stay put while the rest scrolls. Unless
// read-only, a cell is edited by double click, F2, Return or by typing.
//
// The current cell moves as in a spreadsheet, read-only or not: arrow keys
// (and Tab) by one cell, Home / End to the first / last column of its row,
// Ctrl+Home to the first cell below the fixed rows, Ctrl+End to the last
// column of the last row, PageUp / PageDown by a screenful of rows; a click
// makes the cell under it current. The view scrolls to keep it in sight. A
// read-only view frames the current cell once a key or a click has moved it.
//
// Until then the current cell is the first cell below the fixed rows, and
// it goes back there, unframed, whenever the sheet loses the current cell's
// row or column, or is cut back to its fixed rows (a register filled afresh;
// the view then goes back to the top as well).
//
// Rows scroll whole: the vertical scroll bar counts the rows below the fixed
// rows, and its value is the one at the top of the scrolling part, so that
// row starts right under the fixed rows whatever moved the view. Columns
// scroll by pixels.
#include <QAbstractScrollArea>
#include <QRect>

#include <optional>
#include <utility>
#include <vector>

class QLineEdit;

namespace cell {

class Sheet;

class SheetView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  SheetView(Sheet& sheet, QWidget* parent);

  bool isReadOnly() const { return readOnly_; }
  // Read-only ends an edit in progress without keeping it.
  void setReadOnly(bool readOnly);
  // The sheet changed: lay out again when control returns to the event loop.
  void sheetChanged();
  // Lays out now.
  void relayout();

  // Viewport rectangle of the cell (of its merged range when it anchors one);
  // empty when the cell is not a data cell.
  QRect cellRect(int column, int row);
  // The data cell under a viewport point (the first data cell of a merge);
  // nothing outside the cells.
  std::optional<std::pair<int, int>> cellAt(QPoint point);
  bool isEditing() const { return editor_ != nullptr; }
  // (column, row) of the current cell: the first data cell of a merge.
  std::pair<int, int> currentCell() const { return {currentColumn_, currentRow_}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  double scale() const;
  int labelWidth() const;
  int labelHeight() const;
  int fixedCount() const;
  double fixedHeight() const;  // pixels, unrounded so that both bands meet on one line
  int scrollingRows() const;   // rows below the fixed rows, as laid out
  int bodyView() const;        // pixels of the viewport under the fixed rows
  double topY() const;         // content y of the row at the top of the scrolling part
  // The smallest top row from which the view shows the content down to
  // bottom (content y, where a row ends); the row after that one when not
  // even it fits.
  int topFor(double bottom) const;
  // The current cell of a new sheet: the first cell below the fixed rows.
  std::pair<int, int> home() const;
  double columnX(int column) const;  // content x of a data column, pixels
  double rowY(int row) const;        // viewport y of a row, pixels
  std::pair<int, int> anchorOf(int column, int row) const;
  void startEdit(const QString& initial);
  void finishEdit(bool keep);
  void moveCurrent(int dColumn, int dRow);
  // Makes the cell (its merge's first cell) current and scrolls it into sight.
  void setCurrent(int column, int row);
  void scrollToCurrent();
  // A screenful of rows down (pages > 0) or up.
  void movePage(int pages);
  bool navigate(const QKeyEvent& event);

  Sheet& sheet_;
  bool readOnly_ = false;
  bool dirty_ = true;
  bool relayoutQueued_ = false;
  std::vector<double> columnX_;  // content x per column, pixels
  std::vector<double> bodyY_;    // content y of each row below the fixed rows, pixels
  int currentColumn_ = 1;
  int currentRow_ = 1;
  // A key or a click has moved the current cell since the sheet was new;
  // until then the current cell is home() and a read-only view frames none.
  bool moved_ = false;
  QLineEdit* editor_ = nullptr;  // child of the viewport while editing
  int editColumn_ = 0;
  int editRow_ = 0;
};

}  // namespace cell
