#include "cell/SheetPainter.h"

#include <QLineF>
#include <QPainter>
#include <QPen>

#include "cell/CellText.h"
#include "cell/Sheet.h"

namespace cell {
namespace {

// Whether any cell along one side of the range carries a line there.
bool sideHasLine(const Sheet& sheet, const Range& r, Edge edge) {
  switch (edge) {
    case Edge::Left:
    case Edge::Right: {
      const int col = edge == Edge::Left ? r.column1 : r.column2;
      for (int row = r.row1; row <= r.row2; ++row)
        if (sheet.border(col, row, edge)) return true;
      return false;
    }
    case Edge::Top:
    case Edge::Bottom: {
      const int row = edge == Edge::Top ? r.row1 : r.row2;
      for (int col = r.column1; col <= r.column2; ++col)
        if (sheet.border(col, row, edge)) return true;
      return false;
    }
  }
  return false;
}

}  // namespace

int rowsHeight(const Sheet& sheet, const std::vector<int>& rows) {
  int sum = 0;
  for (int r : rows) sum += sheet.rowHeight(r);
  return sum;
}

void paintRows(QPainter& painter, const Sheet& sheet, const std::vector<int>& rows, double lineWidth) {
  std::vector<double> x(static_cast<std::size_t>(std::max(sheet.columnCount(), 1)) + 1, 0.0);
  for (int c = 1; c < sheet.columnCount(); ++c)
    x[static_cast<std::size_t>(c) + 1] = x[static_cast<std::size_t>(c)] + sheet.columnWidth(c);

  painter.save();
  QPen pen(Qt::black);
  pen.setWidthF(lineWidth);
  pen.setCosmetic(lineWidth == 0);
  pen.setCapStyle(Qt::SquareCap);
  painter.setPen(pen);

  double y = 0;
  for (int row : rows) {
    const double height = sheet.rowHeight(row);
    for (int col = 1; col < sheet.columnCount(); ++col) {
      Range area{col, row, col, row};
      if (const std::optional<Range> m = sheet.mergeAt(col, row)) {
        const std::optional<Range> data = sheet.dataPart(*m);
        if (!data || data->column1 != col || data->row1 != row) continue;
        area = *data;
      }
      double h = 0;
      for (int r = area.row1; r <= area.row2; ++r) h += sheet.rowHeight(r);
      const QRectF box(x[static_cast<std::size_t>(area.column1)], y,
                       x[static_cast<std::size_t>(area.column2) + 1] - x[static_cast<std::size_t>(area.column1)], h);

      const QString text = sheet.text(col, row);
      if (!text.isEmpty()) {
        const CellText layout(text, sheet.fontSize(col, row), sheet.textStyle(col, row),
                              box.width() - 2 * kCellPaddingX);
        painter.setPen(Qt::black);
        layout.draw(painter, box.adjusted(kCellPaddingX, kCellPaddingY, -kCellPaddingX, -kCellPaddingY),
                    sheet.hAlign(col, row), sheet.vAlign(col, row));
        painter.setPen(pen);
      }
      if (sideHasLine(sheet, area, Edge::Left)) painter.drawLine(QLineF(box.topLeft(), box.bottomLeft()));
      if (sideHasLine(sheet, area, Edge::Top)) painter.drawLine(QLineF(box.topLeft(), box.topRight()));
      if (sideHasLine(sheet, area, Edge::Right)) painter.drawLine(QLineF(box.topRight(), box.bottomRight()));
      if (sideHasLine(sheet, area, Edge::Bottom)) painter.drawLine(QLineF(box.bottomLeft(), box.bottomRight()));
    }
    y += height;
  }
  painter.restore();
}

}  // namespace cell
