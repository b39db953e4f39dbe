#include "cell/SheetView.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "cell/CellText.h"
#include "cell/Sheet.h"
#include "cell/SheetPainter.h"

namespace cell {
namespace {

const QColor kLabelBackground(236, 236, 236);
const QColor kLabelLine(190, 190, 190);
const QColor kCurrentFrame(32, 96, 200);

// Column letters as spreadsheets show them: A..Z, AA..
QString columnLetters(int index) {
  QString s;
  for (int n = index + 1; n > 0; n = (n - 1) / 26) s.prepend(QChar(u'A' + (n - 1) % 26));
  return s;
}

int px(double v) { return static_cast<int>(std::lround(v)); }

}  // namespace

SheetView::SheetView(Sheet& sheet, QWidget* parent) : QAbstractScrollArea(parent), sheet_(sheet) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAutoFillBackground(false);
  setFrameShape(QFrame::NoFrame);
}

void SheetView::setReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  if (readOnly_) finishEdit(false);
  viewport()->update();
}

void SheetView::sheetChanged() {
  // A sheet cut back to its fixed rows is being filled afresh (a new check):
  // its view and current cell go back to where a new sheet has them. So does
  // a current cell whose row or column is gone.
  if (sheet_.rowCount() - 1 <= fixedCount()) {
    moved_ = false;
    verticalScrollBar()->setValue(0);
  } else if (!sheet_.isCell(currentColumn_, currentRow_)) {
    moved_ = false;
  }
  // Since the last layout a change has already asked for the relayout and the
  // repaint of the whole viewport: a fill of many cells asks once. Asking at
  // every change, filling 200,000 register rows takes 360 ms instead of 254
  // (cell_bench 200000).
  if (dirty_ && relayoutQueued_) return;
  dirty_ = true;
  if (!relayoutQueued_) {
    relayoutQueued_ = true;
    QTimer::singleShot(0, this, [this] {
      if (dirty_) relayout();
    });
  }
  viewport()->update();
}

double SheetView::scale() const { return logicalDpiX() / 254.0; }

int SheetView::labelWidth() const { return sheet_.sideLabelVisible() ? px(sheet_.columnWidth(0) * scale()) : 0; }

int SheetView::labelHeight() const { return sheet_.topLabelVisible() ? px(sheet_.rowHeight(0) * scale()) : 0; }

int SheetView::fixedCount() const { return std::clamp(sheet_.fixedRows(), 0, std::max(sheet_.rowCount() - 1, 0)); }

int SheetView::scrollingRows() const { return static_cast<int>(bodyY_.size()) - 1; }

std::pair<int, int> SheetView::home() const {
  return anchorOf(1, std::clamp(fixedCount() + 1, 1, std::max(sheet_.rowCount() - 1, 1)));
}

int SheetView::bodyView() const {
  return std::max(viewport()->height() - labelHeight() - px(fixedHeight()), 0);
}

double SheetView::topY() const {
  const int top = std::clamp(verticalScrollBar()->value(), 0, std::max(scrollingRows(), 0));
  return bodyY_[static_cast<std::size_t>(top)];
}

int SheetView::topFor(double bottom) const {
  // The view shows [bodyY_[top], bodyY_[top] + view); half a pixel of
  // rounding is allowed in favour of fitting.
  const auto it = std::lower_bound(bodyY_.begin(), bodyY_.end(), bottom - bodyView() - 0.5);
  return static_cast<int>(it - bodyY_.begin());
}

double SheetView::fixedHeight() const {
  int sum = 0;
  for (int r = 1; r <= fixedCount(); ++r) sum += sheet_.rowHeight(r);
  return sum * scale();
}

void SheetView::relayout() {
  relayoutQueued_ = false;
  dirty_ = false;
  const double s = scale();
  columnX_.assign(static_cast<std::size_t>(std::max(sheet_.columnCount(), 1)) + 1, 0.0);
  for (int c = 1; c < sheet_.columnCount(); ++c)
    columnX_[static_cast<std::size_t>(c) + 1] = columnX_[static_cast<std::size_t>(c)] + sheet_.columnWidth(c) * s;
  const int firstBody = fixedCount() + 1;
  bodyY_.assign(1, 0.0);
  for (int r = firstBody; r < sheet_.rowCount(); ++r) bodyY_.push_back(bodyY_.back() + sheet_.rowHeight(r) * s);

  const int contentWidth = px(columnX_.back());
  const int columnsView = std::max(viewport()->width() - labelWidth(), 0);
  // Rows, not pixels: the last top row is the first from which the view
  // shows every row to the end (the last row alone when it is taller).
  const int rows = scrollingRows();
  const int lastTop = std::min(topFor(bodyY_.back()), std::max(rows - 1, 0));
  verticalScrollBar()->setRange(0, lastTop);
  verticalScrollBar()->setPageStep(std::max(rows - lastTop, 1));
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setRange(0, std::max(contentWidth - columnsView, 0));
  horizontalScrollBar()->setPageStep(std::max(columnsView, 1));
  horizontalScrollBar()->setSingleStep(std::max(px(Sheet::kDefaultColumnWidth * s / 4), 1));
  if (!sheet_.isCell(currentColumn_, currentRow_)) moved_ = false;
  if (!moved_) std::tie(currentColumn_, currentRow_) = home();
  if (editor_ && !sheet_.isCell(editColumn_, editRow_)) finishEdit(false);
  if (editor_) editor_->setGeometry(cellRect(editColumn_, editRow_));
  viewport()->update();
}

double SheetView::columnX(int column) const {
  const auto i = static_cast<std::size_t>(std::clamp(column, 0, static_cast<int>(columnX_.size()) - 1));
  return columnX_[i];
}

double SheetView::rowY(int row) const {
  const double s = scale();
  if (row <= 0) return 0;
  if (row <= fixedCount()) {
    double y = labelHeight();
    for (int r = 1; r < row; ++r) y += sheet_.rowHeight(r) * s;
    return y;
  }
  const auto i = static_cast<std::size_t>(row - fixedCount() - 1);
  const double body = i < bodyY_.size() ? bodyY_[i] : bodyY_.back();
  return labelHeight() + fixedHeight() + body - topY();
}

std::pair<int, int> SheetView::anchorOf(int column, int row) const {
  if (const std::optional<Range> m = sheet_.mergeAt(column, row))
    if (const std::optional<Range> data = sheet_.dataPart(*m)) return {data->column1, data->row1};
  return {column, row};
}

QRect SheetView::cellRect(int column, int row) {
  if (dirty_) relayout();
  if (!sheet_.isCell(column, row)) return {};
  Range area{column, row, column, row};
  if (const std::optional<Range> m = sheet_.mergeAt(column, row))
    if (const std::optional<Range> data = sheet_.dataPart(*m)) area = *data;
  const double s = scale();
  double height = 0;
  for (int r = area.row1; r <= area.row2; ++r) height += sheet_.rowHeight(r) * s;
  const double x = labelWidth() + columnX(area.column1) - horizontalScrollBar()->value();
  const double width = columnX(area.column2 + 1) - columnX(area.column1);
  return QRect(px(x), px(rowY(area.row1)), px(width), px(height));
}

std::optional<std::pair<int, int>> SheetView::cellAt(QPoint point) {
  if (dirty_) relayout();
  if (point.x() < labelWidth() || point.y() < labelHeight()) return std::nullopt;
  const double x = point.x() - labelWidth() + horizontalScrollBar()->value();
  const auto colIt = std::upper_bound(columnX_.begin() + 1, columnX_.end(), x);
  const int column = static_cast<int>(colIt - columnX_.begin()) - 1;
  if (colIt == columnX_.end() || column < 1) return std::nullopt;

  int row = -1;
  const double fixedBottom = labelHeight() + fixedHeight();
  if (point.y() < fixedBottom) {
    for (int r = 1; r <= fixedCount() && row < 0; ++r)
      if (point.y() < rowY(r) + sheet_.rowHeight(r) * scale()) row = r;
  } else {
    const double y = point.y() - fixedBottom + topY();
    const auto it = std::upper_bound(bodyY_.begin(), bodyY_.end(), y);
    if (it == bodyY_.end() || it == bodyY_.begin()) return std::nullopt;
    row = fixedCount() + static_cast<int>(it - bodyY_.begin());
  }
  if (!sheet_.isCell(column, row)) return std::nullopt;
  return anchorOf(column, row);
}

void SheetView::paintEvent(QPaintEvent*) {
  if (dirty_) relayout();
  QPainter p(viewport());
  const QRect all = viewport()->rect();
  p.fillRect(all, Qt::white);
  const double s = scale();
  const int lw = labelWidth();
  const int lh = labelHeight();
  const double fh = fixedHeight();
  const int hs = horizontalScrollBar()->value();
  const int firstBody = fixedCount() + 1;

  // Body rows in sight, from the top row down.
  std::vector<int> body;
  const double top = topY();
  for (int i = verticalScrollBar()->value(); i < scrollingRows() && bodyY_[static_cast<std::size_t>(i)] < top + all.height();
       ++i)
    body.push_back(firstBody + i);
  p.save();
  p.setClipRect(QRectF(lw, lh + fh, all.width() - lw, all.height() - lh - fh));
  p.translate(lw - hs, lh + fh);
  p.scale(s, s);
  paintRows(p, sheet_, body, 0);
  p.restore();

  std::vector<int> fixed;
  for (int r = 1; r <= fixedCount(); ++r) fixed.push_back(r);
  p.save();
  // One pixel more, so the line under the last fixed row is not clipped away.
  p.setClipRect(QRectF(lw, lh, all.width() - lw, fh + 1));
  p.translate(lw - hs, lh);
  p.scale(s, s);
  paintRows(p, sheet_, fixed, 0);
  p.restore();

  // Labels: column letters over the columns, row numbers beside the rows.
  QFont labelFont = font();
  p.setFont(labelFont);
  if (lh > 0) {
    p.save();
    p.setClipRect(QRect(lw, 0, all.width() - lw, lh));
    for (int c = 1; c < sheet_.columnCount(); ++c) {
      const QRectF box(lw + columnX(c) - hs, 0, columnX(c + 1) - columnX(c), lh);
      p.fillRect(box, kLabelBackground);
      p.setPen(kLabelLine);
      p.drawRect(box);
      p.setPen(Qt::black);
      p.drawText(box, Qt::AlignCenter, columnLetters(c - 1));
    }
    p.restore();
  }
  if (lw > 0) {
    std::vector<int> rows = fixed;
    rows.insert(rows.end(), body.begin(), body.end());
    p.save();
    p.setClipRect(QRect(0, lh, lw, all.height() - lh));
    for (int r : rows) {
      const QRectF box(0, rowY(r), lw, sheet_.rowHeight(r) * s);
      p.fillRect(box, kLabelBackground);
      p.setPen(kLabelLine);
      p.drawRect(box);
      p.setPen(Qt::black);
      p.drawText(box, Qt::AlignCenter, QString::number(r));
    }
    p.restore();
  }
  if (lw > 0 && lh > 0) p.fillRect(QRect(0, 0, lw, lh), kLabelBackground);

  if ((!readOnly_ || moved_) && sheet_.isCell(currentColumn_, currentRow_)) {
    p.setPen(QPen(kCurrentFrame, 2));
    p.drawRect(cellRect(currentColumn_, currentRow_).adjusted(1, 1, -1, -1));
  }
}

void SheetView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  relayout();
}

void SheetView::scrollContentsBy(int, int) {
  if (editor_) editor_->setGeometry(cellRect(editColumn_, editRow_));
  viewport()->update();
}

void SheetView::mousePressEvent(QMouseEvent* event) {
  finishEdit(true);
  if (const auto cell = cellAt(event->position().toPoint())) {
    currentColumn_ = cell->first;
    currentRow_ = cell->second;
    moved_ = true;
    viewport()->update();
  }
}

void SheetView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (readOnly_) {
    event->ignore();
    return;
  }
  if (const auto cell = cellAt(event->position().toPoint())) {
    currentColumn_ = cell->first;
    currentRow_ = cell->second;
    moved_ = true;
    startEdit(sheet_.text(currentColumn_, currentRow_));
  }
}

void SheetView::keyPressEvent(QKeyEvent* event) {
  if (dirty_) relayout();  // the current cell follows the sheet first
  if (navigate(*event)) return;
  if (readOnly_) {
    // Nothing edits.
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
    case Qt::Key_F2:
    case Qt::Key_Return:
    case Qt::Key_Enter: startEdit(sheet_.text(currentColumn_, currentRow_)); return;
    case Qt::Key_Delete:
      sheet_.setText(currentColumn_, currentRow_, QString());
      viewport()->update();
      return;
    default: break;
  }
  const QString typed = event->text();
  if (!typed.isEmpty() && typed.at(0).isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    startEdit(typed);
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

// The editor's Return and Escape end the edit here and go no further: passed
// on to the view, Return would open the editor again.
bool SheetView::eventFilter(QObject* watched, QEvent* event) {
  if (editor_ && watched == editor_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
      finishEdit(key != Qt::Key_Escape);
      return true;
    }
  }
  return QAbstractScrollArea::eventFilter(watched, event);
}

bool SheetView::navigate(const QKeyEvent& event) {
  const bool ctrl = event.modifiers() & Qt::ControlModifier;
  const int lastColumn = std::max(sheet_.columnCount() - 1, 1);
  const int lastRow = std::max(sheet_.rowCount() - 1, 1);
  switch (event.key()) {
    case Qt::Key_Left: moveCurrent(-1, 0); return true;
    case Qt::Key_Right:
    case Qt::Key_Tab: moveCurrent(1, 0); return true;
    case Qt::Key_Up: moveCurrent(0, -1); return true;
    case Qt::Key_Down: moveCurrent(0, 1); return true;
    case Qt::Key_Home:
      // Ctrl: the first cell that scrolls, as under frozen rows.
      setCurrent(1, ctrl ? std::min(fixedCount() + 1, lastRow) : currentRow_);
      return true;
    case Qt::Key_End: setCurrent(lastColumn, ctrl ? lastRow : currentRow_); return true;
    case Qt::Key_PageUp: movePage(-1); return true;
    case Qt::Key_PageDown: movePage(1); return true;
    default: return false;
  }
}

void SheetView::setCurrent(int column, int row) {
  const auto anchor = anchorOf(std::clamp(column, 1, std::max(sheet_.columnCount() - 1, 1)),
                               std::clamp(row, 1, std::max(sheet_.rowCount() - 1, 1)));
  currentColumn_ = anchor.first;
  currentRow_ = anchor.second;
  moved_ = true;
  scrollToCurrent();
  viewport()->update();
}

void SheetView::scrollToCurrent() {
  if (dirty_) relayout();
  if (!sheet_.isCell(currentColumn_, currentRow_)) return;
  Range area{currentColumn_, currentRow_, currentColumn_, currentRow_};
  if (const std::optional<Range> m = sheet_.mergeAt(currentColumn_, currentRow_))
    if (const std::optional<Range> data = sheet_.dataPart(*m)) area = *data;
  // Fixed rows are always in sight; the others scroll by whole rows. The
  // rows come to the top when they lie above the view or do not fit in it,
  // else to the bottom when they lie below it.
  if (area.row1 > fixedCount()) {
    const int top = area.row1 - fixedCount() - 1;
    const auto past = static_cast<std::size_t>(area.row2 - fixedCount());
    QScrollBar* bar = verticalScrollBar();
    if (past < bodyY_.size()) {
      if (top < bar->value() || bodyY_[past] - bodyY_[static_cast<std::size_t>(top)] > bodyView())
        bar->setValue(top);
      else if (bodyY_[past] - topY() > bodyView())
        bar->setValue(topFor(bodyY_[past]));
    }
  }
  // Columns scroll by pixels: the start when the span does not fit or lies
  // before the view, else the end.
  QScrollBar* bar = horizontalScrollBar();
  const int view = std::max(viewport()->width() - labelWidth(), 0);
  const double first = columnX(area.column1);
  const double last = columnX(area.column2 + 1);
  if (last - first > view || first < bar->value())
    bar->setValue(static_cast<int>(std::floor(first)));
  else if (last > bar->value() + view)
    bar->setValue(static_cast<int>(std::ceil(last - view)));
}

void SheetView::movePage(int pages) {
  if (dirty_) relayout();
  const int firstBody = fixedCount() + 1;
  const int rows = scrollingRows();
  if (rows < 1) return;
  const double view = std::max(bodyView(), 1);
  auto y = [this](int i) { return bodyY_[static_cast<std::size_t>(i)]; };
  // The row at the top of the view, and the one a screenful on: down, the
  // first row the view does not show whole; up, the highest row from which
  // the view shows whole every row down to the top one. At least one row.
  const int top = std::clamp(verticalScrollBar()->value(), 0, rows - 1);
  int next = top;
  if (pages > 0) {
    while (next < rows - 1 && y(next + 1) - y(top) <= view) ++next;
    next = std::min(std::max(next, top + 1), rows - 1);
  } else {
    while (next > 0 && y(top) - y(next - 1) <= view) --next;
    next = std::max(std::min(next, top - 1), 0);
  }
  // The current cell moves as many rows as the view; from a fixed row, as
  // from the first row that scrolls.
  const int from = std::max(currentRow_ - firstBody, 0);
  const int row = firstBody + std::clamp(from + next - top, 0, rows - 1);
  verticalScrollBar()->setValue(next);
  setCurrent(currentColumn_, row);
}

void SheetView::moveCurrent(int dColumn, int dRow) {
  const int column = std::clamp(currentColumn_ + dColumn, 1, std::max(sheet_.columnCount() - 1, 1));
  const int row = std::clamp(currentRow_ + dRow, 1, std::max(sheet_.rowCount() - 1, 1));
  const auto anchor = anchorOf(column, row);
  // Stepping onto a merge lands on its first cell; stepping again leaves it.
  if (anchor == std::make_pair(currentColumn_, currentRow_) && (dColumn || dRow)) {
    currentColumn_ = std::clamp(column + dColumn, 1, std::max(sheet_.columnCount() - 1, 1));
    currentRow_ = std::clamp(row + dRow, 1, std::max(sheet_.rowCount() - 1, 1));
  } else {
    currentColumn_ = anchor.first;
    currentRow_ = anchor.second;
  }
  moved_ = true;
  scrollToCurrent();
  viewport()->update();
}

void SheetView::startEdit(const QString& initial) {
  if (readOnly_ || !sheet_.isCell(currentColumn_, currentRow_)) return;
  finishEdit(true);
  editColumn_ = currentColumn_;
  editRow_ = currentRow_;
  editor_ = new QLineEdit(viewport());
  editor_->setFrame(false);
  editor_->setText(initial);
  editor_->setGeometry(cellRect(editColumn_, editRow_));
  editor_->installEventFilter(this);
  editor_->show();
  editor_->setFocus();
}

void SheetView::finishEdit(bool keep) {
  if (!editor_) return;
  QLineEdit* editor = std::exchange(editor_, nullptr);
  if (keep && !readOnly_) sheet_.setText(editColumn_, editRow_, editor->text());
  editor->hide();
  editor->deleteLater();
  setFocus();
  viewport()->update();
}

}  // namespace cell
