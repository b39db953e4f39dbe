#pragma once
// What the two measures of a cell's text share: the program's own
// (CellText.h, the layout's lines predicted from advances) and the office
// suite's (OfficeText.h). Layout units, the key of a font size, the face set
// up for layout, the metrics kept per size and the greedy line filler; each
// measure brings its advances and its rule for where a line may break.
#include <QFont>
#include <QString>
#include <QTextBoundaryFinder>

#include <cmath>
#include <map>
#include <memory>
#include <optional>

namespace cell {

// Layout units per point: 25.4 mm / 72 points, in tenths of a millimetre.
inline constexpr double kUnitsPerPoint = 254.0 / 72.0;

// A font size as whole twentieths of a point: the key of everything kept per
// size, and the unit a workbook stores font heights in.
inline int twentieths(double points) { return static_cast<int>(std::lround(points * 20)); }

// font at the size in points, scaled to layout units (at least 1), with
// unhinted outlines: their advances scale linearly, so a line broken for the
// screen breaks the same way on paper. merging is added to PreferOutline.
QFont layoutFace(QFont font, float points, QFont::StyleStrategy merging = QFont::PreferDefault);

// The T of a font size, made as T(points) when first asked for and kept for
// the process; sizes that round to the same twentieth of a point share one.
template <typename T>
T& perSize(float points) {
  static std::map<int, std::unique_ptr<T>> kept;
  std::unique_ptr<T>& slot = kept[twentieths(points)];
  if (!slot) slot = std::make_unique<T>(points);
  return *slot;
}

// Whether what a line needs fits its width; Unsure when rounding could
// decide either way.
enum class Fit { Fits, Overflows, Unsure };

// A piece of text between two places a line may break, as a measure sees it.
struct Piece {
  double ink = 0;      // the advances up to its trailing blanks
  double reach = 0;    // how far its last ink passes its advance
  double blanks = 0;   // its trailing blanks, which take no room at a line's end
  bool lineEnds = false;  // it ends with one of the text's own line breaks
};

// The lines a text takes, filled greedily: the text is cut at the Unicode
// line break opportunities that mayBreakAt(text, i) keeps (a break before
// text[i]) and at every mandatory break; each piece goes on the current line
// while it fits, else it starts the next. A piece too wide for a line of its
// own is the measure's to break. Nothing when the measure is unsure.
//
// The measure gives, for the piece [start, end) of the text:
//   Piece piece(text, start, end)
//   Fit fits(double need, double width)
//   std::optional<double> breakInside(text, start, end, width, int& lines):
//     the piece broken over lines (lines counts those it adds) and the room
//     it leaves used on its last; nothing when the measure cannot tell.
template <typename Measure, typename BreakRule>
std::optional<int> fillLines(const QString& text, double width, Measure& measure, BreakRule mayBreakAt) {
  QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
  const qsizetype n = text.size();
  int lines = 1;
  double used = 0;  // of the current line; 0 while it is empty
  for (qsizetype start = 0; start < n;) {
    qsizetype end = start;
    do {
      end = breaks.toNextBoundary();
      if (end <= start || end > n) end = n;
    } while (end < n && !mayBreakAt(text, end) &&
             !(breaks.boundaryReasons() & QTextBoundaryFinder::MandatoryBreak));

    const Piece p = measure.piece(text, start, end);
    if (used > 0) {
      const Fit fit = measure.fits(used + p.ink + p.reach, width);
      if (fit == Fit::Unsure) return std::nullopt;
      if (fit == Fit::Overflows) {
        ++lines;
        used = 0;
      }
    }
    if (used > 0 || measure.fits(p.ink + p.reach, width) == Fit::Fits) {
      used += p.ink;
    } else {
      const std::optional<double> rest = measure.breakInside(text, start, end, width, lines);
      if (!rest) return std::nullopt;
      used = *rest;
    }
    used += p.blanks;
    if (p.lineEnds) {
      ++lines;
      used = 0;
    }
    start = end;
  }
  return lines;
}

}  // namespace cell
