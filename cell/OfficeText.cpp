#include "cell/OfficeText.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_map>

#include "cell/TextMeasure.h"

namespace cell {
namespace {

QFont face(const QString& family, float points, QFont::StyleStrategy merging) {
  return layoutFace(QFont(family), points, merging);
}

// The face a font falls back to for Chinese: the one its layout draws 中 in.
QString chineseFace(const QFont& font) {
  QTextLayout layout(QStringLiteral("中"), font);
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  const QList<QGlyphRun> runs = layout.glyphRuns();
  return runs.isEmpty() ? font.family() : runs.first().rawFont().familyName();
}

// East Asian wide characters: CJK and Hangul, their symbols and punctuation,
// fullwidth forms. A line may break between them.
bool wide(char32_t c) {
  return (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) ||
         (c >= 0x20000 && c <= 0x3FFFD);
}

bool lineBreak(char32_t c) { return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029 || c == 0x0B || c == 0x0C; }

// The code point that starts at i, or ends just before i.
char32_t at(const QString& s, qsizetype i) {
  const QChar c = s.at(i);
  if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
    return QChar::surrogateToUcs4(c, s.at(i + 1));
  return c.unicode();
}
char32_t before(const QString& s, qsizetype i) {
  const QChar c = s.at(i - 1);
  if (c.isLowSurrogate() && i >= 2 && s.at(i - 2).isHighSurrogate()) return QChar::surrogateToUcs4(s.at(i - 2), c);
  return c.unicode();
}
qsizetype units(char32_t c) { return c > 0xFFFF ? 2 : 1; }

// The two faces at one size, with the advances asked for so far. Kept per
// size: made afresh for each text, exporting a register of 2,000 rows takes
// 213 ms instead of 13 (cell_bench 2000).
class OfficeFaces {
 public:
  explicit OfficeFaces(float points)
      : merged_(face(QStringLiteral("sans-serif"), points, QFont::PreferDefault)),
        latin_(face(QStringLiteral("sans-serif"), points, QFont::NoFontMerging)),
        chinese_(face(chineseFace(merged_.font), points, QFont::NoFontMerging)) {
    lineHeight_ = std::max(latin_.metrics.ascent(), chinese_.metrics.ascent()) +
                  std::max(latin_.metrics.descent(), chinese_.metrics.descent());
  }

  double lineHeight() const { return lineHeight_; }

  // The wider of its advances in the two faces; a character neither has
  // takes the advance of the face the system finds for it. Found once per
  // character: found at each use, exporting 200,000 register rows takes 15 s
  // instead of 0.6 (cell_bench 200000).
  double advance(char32_t c) {
    if (QChar::isSpace(c)) c = u' ';
    const auto it = advances_.find(c);
    if (it != advances_.end()) return it->second;
    const QString s = QString::fromUcs4(&c, 1);
    double a = 0;
    bool found = false;
    for (const Face* f : {&latin_, &chinese_})
      if (f->metrics.inFontUcs4(c)) {
        a = std::max(a, f->metrics.horizontalAdvance(s));
        found = true;
      }
    if (!found) a = merged_.metrics.horizontalAdvance(s);
    return advances_.emplace(c, a).first->second;
  }

 private:
  struct Face {
    explicit Face(const QFont& f) : font(f), metrics(f) {}
    QFont font;
    QFontMetricsF metrics;
  };
  Face merged_;
  Face latin_;
  Face chinese_;
  double lineHeight_ = 0;
  std::unordered_map<char32_t, double> advances_;
};

// Whether a line may break before text[i]: not inside a run of characters
// that are neither blanks nor wide.
bool mayBreakAt(const QString& text, qsizetype i) {
  const auto joins = [](char32_t c) { return !QChar::isSpace(c) && !wide(c); };
  return !(joins(before(text, i)) && joins(at(text, i)));
}

// The suite's measure of a piece in the faces of one size: a blank followed
// by ink goes with it; a piece too long for a line breaks between its
// characters.
class OfficeMeasure {
 public:
  explicit OfficeMeasure(OfficeFaces& faces) : faces_(faces) {}

  Piece piece(const QString& text, qsizetype start, qsizetype end) {
    Piece p;
    p.blanks = walk(text, start, end, p.lineEnds, [&p](double advance) { p.ink += advance; });
    return p;
  }
  static Fit fits(double need, double width) { return need <= width ? Fit::Fits : Fit::Overflows; }
  std::optional<double> breakInside(const QString& text, qsizetype start, qsizetype end, double width, int& lines) {
    double used = 0;
    bool lineEnds = false;
    walk(text, start, end, lineEnds, [&](double advance) {
      if (used > 0 && used + advance > width) {
        ++lines;
        used = 0;
      }
      used += advance;
    });
    return used;
  }

 private:
  // Calls ink(advance) for each character of the piece that is no blank,
  // the blanks before it included; returns the advance of the blanks after
  // the last. lineEnds: whether the piece holds one of the text's own breaks.
  template <typename Ink>
  double walk(const QString& text, qsizetype start, qsizetype end, bool& lineEnds, Ink ink) {
    double blanks = 0;
    for (qsizetype i = start; i < end; i += units(at(text, i))) {
      const char32_t c = at(text, i);
      if (lineBreak(c)) {
        lineEnds = true;
      } else if (QChar::isSpace(c) && c != 0x00A0 && c != 0x202F) {  // no-break spaces are ink
        blanks += faces_.advance(c);
      } else {
        ink(blanks + faces_.advance(c));
        blanks = 0;
      }
    }
    return blanks;
  }

  OfficeFaces& faces_;
};

int lineCount(OfficeFaces& faces, const QString& text, TextStyle style, double width) {
  OfficeMeasure measure(faces);
  const double lineWidth = style == TextStyle::Wrap ? std::max(width, 1.0) : std::numeric_limits<double>::infinity();
  return fillLines(text, lineWidth, measure, mayBreakAt).value_or(1);  // the office measure is never unsure
}

}  // namespace

double officeTextHeight(const QString& text, float points, TextStyle style, double width) {
  if (text.isEmpty()) return 0;
  OfficeFaces& faces = perSize<OfficeFaces>(points);
  return lineCount(faces, text, style, width) * faces.lineHeight();
}

}  // namespace cell
