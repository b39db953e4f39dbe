#pragma once
// cell::SheetView: the on-screen view of a sheet. Label row and column (when
// shown) and the sheet's fixed rows stay put while the rest scrolls. Unless
// read-only, a cell is edited by double click, F2, Return or by typing.
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
  double columnX(int column) const;  // content x of a data column, pixels
  double rowY(int row) const;        // viewport y of a row, pixels
  std::pair<int, int> anchorOf(int column, int row) const;
  void startEdit(const QString& initial);
  void finishEdit(bool keep);
  void moveCurrent(int dColumn, int dRow);

  Sheet& sheet_;
  bool readOnly_ = false;
  bool dirty_ = true;
  bool relayoutQueued_ = false;
  std::vector<double> columnX_;  // content x per column, pixels
  std::vector<double> bodyY_;    // content y of each row below the fixed rows, pixels
  int currentColumn_ = 1;
  int currentRow_ = 1;
  QLineEdit* editor_ = nullptr;  // child of the viewport while editing
  int editColumn_ = 0;
  int editRow_ = 0;
};

}  // namespace cell
