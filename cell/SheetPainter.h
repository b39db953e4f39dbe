#pragma once
// Draws rows of a sheet: cell texts and lines. The view and the printer both
// draw through it, in layout units (tenths of a millimetre) under the
// painter's transform.
#include <vector>

class QPainter;

namespace cell {

class Sheet;

// Draws the given rows one under the other from y = 0, data columns from
// x = 0. A merged range is drawn whole from its first data cell when that
// cell's row is among the rows; its inner lines are never drawn. lineWidth 0
// draws one device pixel wide lines.
void paintRows(QPainter& painter, const Sheet& sheet, const std::vector<int>& rows, double lineWidth);

// Sum of the heights of the rows.
int rowsHeight(const Sheet& sheet, const std::vector<int>& rows);

}  // namespace cell
