#include "cell/Sheet.h"

#include <algorithm>
#include <cmath>

#include "cell/CellText.h"

namespace cell {

Sheet::Sheet() {
  setColumnCount(kInitialColumnCount);
  setRowCount(kInitialRowCount);
}

void Sheet::setRowCount(int count) {
  count = std::max(count, 0);
  const int had = rowCount();
  const auto keep = static_cast<std::size_t>(count);
  if (keep < rows_.size()) {
    rows_.resize(keep);
    // A merge that reaches past the last row goes; so do lines of dropped rows
    // (they lived in the dropped cells) and grids waiting for rows.
    std::erase_if(merges_, [count](const Range& r) { return r.row2 >= count; });
    gridsAhead_.clear();
  }
  while (rows_.size() < keep) {
    Row row;
    if (rows_.empty()) row.height = kLabelRowHeight;
    row.cells.resize(static_cast<std::size_t>(columnCount_));
    rows_.push_back(std::move(row));
  }
  // Rows that were drawn on before they existed get their lines now.
  if (count > had && !gridsAhead_.empty()) {
    std::vector<Range> waiting = std::move(gridsAhead_);
    gridsAhead_.clear();
    for (const Range& g : waiting) setGrid(g);
  }
}

void Sheet::setColumnCount(int count) {
  count = std::max(count, 0);
  columnCount_ = count;
  const auto n = static_cast<std::size_t>(count);
  for (Row& row : rows_) row.cells.resize(n);
  const std::size_t had = widths_.size();
  widths_.resize(n, kDefaultColumnWidth);
  if (had == 0 && n > 0) widths_[0] = kLabelColumnWidth;
  std::erase_if(merges_, [count](const Range& r) { return r.column2 >= count; });
}

bool Sheet::isCell(int column, int row) const {
  return column >= 1 && column < columnCount_ && row >= 1 && row < rowCount();
}

Sheet::Cell* Sheet::at(int column, int row) {
  if (!isCell(column, row)) return nullptr;
  return &rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
}

const Sheet::Cell* Sheet::at(int column, int row) const {
  if (!isCell(column, row)) return nullptr;
  return &rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
}

QString Sheet::text(int column, int row) const {
  const Cell* c = at(column, row);
  return c ? c->text : QString();
}

void Sheet::setText(int column, int row, const QString& text) {
  if (Cell* c = at(column, row)) c->text = text;
}

float Sheet::fontSize(int column, int row) const {
  const Cell* c = at(column, row);
  return c ? c->fontSize : kDefaultFontSize;
}

void Sheet::setFontSize(int column, int row, float points) {
  if (!(points > 0.0f) || points > 409.0f) return;
  if (Cell* c = at(column, row)) c->fontSize = points;
}

HAlign Sheet::hAlign(int column, int row) const {
  const Cell* c = at(column, row);
  return c ? c->h : HAlign::Left;
}

VAlign Sheet::vAlign(int column, int row) const {
  const Cell* c = at(column, row);
  return c ? c->v : VAlign::Centre;
}

void Sheet::setAlign(int column, int row, HAlign h, VAlign v) {
  if (Cell* c = at(column, row)) {
    c->h = h;
    c->v = v;
  }
}

TextStyle Sheet::textStyle(int column, int row) const {
  const Cell* c = at(column, row);
  return c ? c->style : TextStyle::Plain;
}

void Sheet::setTextStyle(int column, int row, TextStyle style) {
  if (Cell* c = at(column, row)) c->style = style;
}

int Sheet::rowHeight(int row) const {
  if (row < 0 || row >= rowCount()) return kDefaultRowHeight;
  return rows_[static_cast<std::size_t>(row)].height;
}

void Sheet::setRowHeight(int row, int height, RowHeight kind) {
  if (row < 0 || row >= rowCount() || height < 0) return;
  Row& r = rows_[static_cast<std::size_t>(row)];
  r.height = height;
  r.fitted = kind == RowHeight::Fitted;
}

bool Sheet::heightFitted(int row) const {
  return row >= 0 && row < rowCount() && rows_[static_cast<std::size_t>(row)].fitted;
}

int Sheet::columnWidth(int column) const {
  if (column < 0 || column >= columnCount_) return kDefaultColumnWidth;
  return widths_[static_cast<std::size_t>(column)];
}

void Sheet::setColumnWidth(int column, int width) {
  if (column < 0 || column >= columnCount_ || width < 0) return;
  widths_[static_cast<std::size_t>(column)] = width;
}

std::optional<Range> Sheet::dataPart(const Range& range) const {
  Range r{std::max(std::min(range.column1, range.column2), 1), std::max(std::min(range.row1, range.row2), 1),
          std::min(std::max(range.column1, range.column2), columnCount_ - 1),
          std::min(std::max(range.row1, range.row2), rowCount() - 1)};
  if (r.column1 > r.column2 || r.row1 > r.row2) return std::nullopt;
  return r;
}

void Sheet::merge(const Range& range) {
  const std::optional<Range> data = dataPart(range);
  if (!data || (data->column1 == data->column2 && data->row1 == data->row2)) return;
  const Range given{std::max(std::min(range.column1, range.column2), 0),
                    std::max(std::min(range.row1, range.row2), 0), data->column2, data->row2};
  std::erase_if(merges_, [&](const Range& m) {
    return m.column1 <= given.column2 && given.column1 <= m.column2 && m.row1 <= given.row2 &&
           given.row1 <= m.row2;
  });
  merges_.push_back(given);
}

std::optional<Range> Sheet::mergeAt(int column, int row) const {
  for (const Range& m : merges_)
    if (m.contains(column, row)) return m;
  return std::nullopt;
}

void Sheet::setLine(int column, int row, unsigned char bit, bool on) {
  if (Cell* c = at(column, row)) {
    if (on)
      c->lines |= bit;
    else
      c->lines &= static_cast<unsigned char>(~bit);
  }
}

bool Sheet::border(int column, int row, Edge edge) const {
  const Cell* c = at(column, row);
  if (!c) return false;
  auto has = [this](int col, int r, unsigned char bit) {
    const Cell* n = at(col, r);
    return n && (n->lines & bit) != 0;
  };
  switch (edge) {
    case Edge::Left: return (c->lines & kLeft) || has(column - 1, row, kRight);
    case Edge::Top: return (c->lines & kTop) || has(column, row - 1, kBottom);
    case Edge::Right: return (c->lines & kRight) || has(column + 1, row, kLeft);
    case Edge::Bottom: return (c->lines & kBottom) || has(column, row + 1, kTop);
  }
  return false;
}

void Sheet::drawGrid(const Range& range, LineStyle) {  // Thin is the only style
  setGrid({std::max(std::min(range.column1, range.column2), 1), std::max(std::min(range.row1, range.row2), 1),
           std::max(range.column1, range.column2), std::max(range.row1, range.row2)});
}

void Sheet::setGrid(const Range& range) {
  const int col2 = std::min(range.column2, columnCount_ - 1);
  const int last = std::min(range.row2, rowCount() - 1);
  const unsigned char all = kLeft | kTop | kRight | kBottom;
  for (int row = range.row1; row <= last; ++row)
    for (int col = range.column1; col <= col2; ++col) setLine(col, row, all, true);
  // The rest waits for its rows, however many there will be.
  if (range.row2 > last && range.column1 <= col2)
    gridsAhead_.push_back({range.column1, std::max(range.row1, last + 1), col2, range.row2});
}

void Sheet::removeLines(const Range& range, LineRemoval which) {
  switch (which) {
    case LineRemoval::Inner: clearInnerLines(range); return;
    case LineRemoval::LeftSide: clearOuterEdge(range, Edge::Left); return;
    case LineRemoval::RightSide: clearOuterEdge(range, Edge::Right); return;
  }
}

void Sheet::clearInnerLines(const Range& range) {
  const std::optional<Range> r = dataPart(range);
  if (!r) return;
  for (int row = r->row1; row <= r->row2; ++row)
    for (int col = r->column1; col <= r->column2; ++col) {
      if (col > r->column1) setLine(col, row, kLeft, false);
      if (col < r->column2) setLine(col, row, kRight, false);
      if (row > r->row1) setLine(col, row, kTop, false);
      if (row < r->row2) setLine(col, row, kBottom, false);
    }
}

void Sheet::clearOuterEdge(const Range& range, Edge edge) {
  const std::optional<Range> r = dataPart(range);
  if (!r) return;
  // Both cells that share the edge lose their line.
  switch (edge) {
    case Edge::Left:
      for (int row = r->row1; row <= r->row2; ++row) {
        setLine(r->column1, row, kLeft, false);
        setLine(r->column1 - 1, row, kRight, false);
      }
      break;
    case Edge::Right:
      for (int row = r->row1; row <= r->row2; ++row) {
        setLine(r->column2, row, kRight, false);
        setLine(r->column2 + 1, row, kLeft, false);
      }
      break;
    case Edge::Top:
      for (int col = r->column1; col <= r->column2; ++col) {
        setLine(col, r->row1, kTop, false);
        setLine(col, r->row1 - 1, kBottom, false);
      }
      break;
    case Edge::Bottom:
      for (int col = r->column1; col <= r->column2; ++col) {
        setLine(col, r->row2, kBottom, false);
        setLine(col, r->row2 + 1, kTop, false);
      }
      break;
  }
}

std::optional<std::pair<int, int>> Sheet::printTitleRows() const {
  if (titleFirst_ < 1 || titleLast_ < titleFirst_ || titleLast_ >= rowCount()) return std::nullopt;
  return std::make_pair(titleFirst_, titleLast_);
}

void Sheet::setPrintTitleRows(int first, int last) {
  titleFirst_ = std::max(first, 0);
  titleLast_ = last;
}

int Sheet::dataWidth() const {
  int sum = 0;
  for (int c = 1; c < columnCount_; ++c) sum += columnWidth(c);
  return sum;
}

int Sheet::spanWidth(int column, int row) const {
  const std::optional<Range> m = mergeAt(column, row);
  const std::optional<Range> data = m ? dataPart(*m) : std::nullopt;
  if (!data || data->column1 != column || data->row1 != row) return columnWidth(column);
  int sum = 0;
  for (int c = data->column1; c <= data->column2; ++c) sum += columnWidth(c);
  return sum;
}

// A cell inside a merge counts for its row only as the merge's first cell,
// and only when the merge stays in this row.
bool Sheet::countsForRow(int column, int row) const {
  const std::optional<Range> m = mergeAt(column, row);
  if (!m) return true;
  const std::optional<Range> data = dataPart(*m);
  return data && data->column1 == column && data->row1 == row && data->row2 == row;
}

int Sheet::fitRowHeight(int row) const { return fitRowHeight(row, textHeight); }

int Sheet::fitRowHeight(int row, TextHeight measure) const {
  if (row < 1 || row >= rowCount()) return kDefaultRowHeight;
  double need = kDefaultRowHeight / 2.0;
  for (int col = 1; col < columnCount_; ++col) {
    const Cell* c = at(col, row);
    if (c->text.isEmpty() || !countsForRow(col, row)) continue;
    const double width = spanWidth(col, row) - 2 * kCellPaddingX;
    need = std::max(need, measure(c->text, c->fontSize, c->style, width) + 2 * kCellPaddingY);
  }
  return static_cast<int>(std::ceil(need));
}

bool Sheet::wrapsText(int row) const {
  if (row < 1 || row >= rowCount()) return false;
  for (int col = 1; col < columnCount_; ++col) {
    const Cell* c = at(col, row);
    if (c->style == TextStyle::Wrap && !c->text.isEmpty() && countsForRow(col, row)) return true;
  }
  return false;
}

}  // namespace cell
