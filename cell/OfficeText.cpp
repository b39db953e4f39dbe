#include "cell/OfficeText.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace cell {
namespace {

// Layout units per point: 25.4 mm / 72 points, in tenths of a millimetre.
constexpr double kUnitsPerPoint = 254.0 / 72.0;

QFont face(const QString& family, float points, QFont::StyleStrategy merging) {
  QFont f(family);
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(points * kUnitsPerPoint))));
  f.setHintingPreference(QFont::PreferNoHinting);
  f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferOutline | merging));
  return f;
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

// The two faces at one size, with the advances asked for so far.
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
  // takes the advance of the face the system finds for it.
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

OfficeFaces& facesFor(float points) {
  static std::map<int, std::unique_ptr<OfficeFaces>> cache;  // by twentieths of a point
  auto& slot = cache[static_cast<int>(std::lround(points * 20))];
  if (!slot) slot = std::make_unique<OfficeFaces>(points);
  return *slot;
}

// Whether a line may break between the two characters: not inside a run of
// characters that are neither blanks nor wide.
bool mayBreakBetween(char32_t a, char32_t b) {
  const auto joins = [](char32_t c) { return !QChar::isSpace(c) && !wide(c); };
  return !(joins(a) && joins(b));
}

int lineCount(OfficeFaces& faces, const QString& text, TextStyle style, double width) {
  const bool wrap = style == TextStyle::Wrap;
  const double lineWidth = std::max(width, 1.0);
  QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
  const qsizetype n = text.size();
  int lines = 1;
  double used = 0;  // of the current line
  std::vector<double> ink;  // advances of the piece's characters before its trailing blanks
  for (qsizetype start = 0; start < n;) {
    // The next piece ends at a break that the rules above allow.
    qsizetype end = start;
    bool forced = false;
    do {
      end = breaks.toNextBoundary();
      if (end <= start || end > n) end = n;
      forced = breaks.boundaryReasons() & QTextBoundaryFinder::MandatoryBreak;
    } while (end < n && !forced && !mayBreakBetween(before(text, end), at(text, end)));

    ink.clear();
    double blanks = 0;
    bool newLine = false;
    for (qsizetype i = start; i < end; i += units(at(text, i))) {
      const char32_t c = at(text, i);
      if (lineBreak(c)) {
        newLine = true;
      } else if (QChar::isSpace(c) && c != 0x00A0 && c != 0x202F) {  // no-break spaces are ink
        blanks += faces.advance(c);
      } else {
        // A blank followed by ink belongs to it.
        if (blanks > 0 && !ink.empty()) ink.back() += blanks;
        blanks = 0;
        ink.push_back(faces.advance(c));
      }
    }
    double inked = 0;
    for (double a : ink) inked += a;
    if (wrap && used > 0 && used + inked > lineWidth) {
      ++lines;
      used = 0;
    }
    if (wrap && inked > lineWidth) {
      // Too long for any line: broken between its characters.
      for (double a : ink) {
        if (used > 0 && used + a > lineWidth) {
          ++lines;
          used = 0;
        }
        used += a;
      }
    } else {
      used += inked;
    }
    used += blanks;
    if (newLine) {
      ++lines;
      used = 0;
    }
    start = end;
  }
  return lines;
}

}  // namespace

double officeTextHeight(const QString& text, float points, TextStyle style, double width) {
  if (text.isEmpty()) return 0;
  OfficeFaces& faces = facesFor(points);
  return lineCount(faces, text, style, width) * faces.lineHeight();
}

}  // namespace cell
