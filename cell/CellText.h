#pragma once
// Fonts and text layout of the sheet's cells, shared by the row-height fit,
// the view and the printer so that all three break lines alike. Lengths are
// layout units: tenths of a millimetre.
#include <QFont>
#include <QString>
#include <QTextLayout>

#include "cell/Sheet.h"

class QPainter;
class QRectF;

namespace cell {

// Space between a cell's edges and its text.
inline constexpr int kCellPaddingX = 10;
inline constexpr int kCellPaddingY = 8;

// The cell font (platform::songFont: "宋体" or its stand-in) at the given
// size in points, scaled to layout units (made once per size).
QFont cellFont(float points);

// The height a CellText of these arguments has, without laying the text out
// where that is not needed: a text of one line, or whose lines break at
// widths its characters' advances settle beyond doubt, is measured from
// metrics kept per font size. Every other text is laid out as CellText does.
// Filling 200,000 register rows takes 0.27 s so, 2.2 s with every text laid
// out (cell_bench 200000).
double textHeight(const QString& text, float points, TextStyle style, double width);

// One cell's text laid out in a given width. Wrapping text breaks at word
// boundaries (anywhere in CJK text, or inside a word longer than the width);
// other text breaks only at its own line breaks.
class CellText {
 public:
  CellText(const QString& text, float points, TextStyle style, double width);
  CellText(const QString& text, const QFont& font, TextStyle style, double width);
  CellText(const CellText&) = delete;
  CellText& operator=(const CellText&) = delete;

  // Height of all lines; 0 for an empty text.
  double height() const { return height_; }
  // Draws the lines inside box (padding already taken off), clipped to it.
  void draw(QPainter& painter, const QRectF& box, HAlign h, VAlign v) const;

 private:
  QTextLayout layout_;
  double height_ = 0;
};

}  // namespace cell
