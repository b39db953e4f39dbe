#pragma once
// How tall a cell's text stands in an office suite that opens the exported
// workbook without 宋体 installed: it draws the text in faces of its own, as
// a rule the system's sans-serif face for Latin text and that face's
// fallback for Chinese, both wider and taller than the Song face the program
// draws in. Rows fitted to wrapped text are written at least this tall, so
// that their texts stay inside them there too.
//
// A measure on the safe side rather than a layout: each character takes the
// wider of its advances in the two faces, every line the height of the
// taller face, and a line breaks only between CJK characters, after blanks,
// at the text's own line breaks, or inside a run too long for a line (runs
// of Latin letters, digits and signs are kept whole, as a suite may not
// break them where a Unicode layout would). Lengths are layout units, tenths
// of a millimetre.
#include <QString>

#include "cell/Sheet.h"

namespace cell {

// Height of the text at the size in points; a wrapping text breaks at width.
// 0 for an empty text.
double officeTextHeight(const QString& text, float points, TextStyle style, double width);

}  // namespace cell
