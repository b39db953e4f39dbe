#include "cell/CellText.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLine>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "cell/TextMeasure.h"
#include "platform/fonts.h"

namespace cell {
namespace {

QString displayText(QString text) {
  text.remove(QLatin1Char('\r'));
  text.replace(QLatin1Char('\n'), QChar::LineSeparator);
  return text;
}

// What one BMP character does in the cell font's first face.
struct Glyph {
  enum class Kind : unsigned char { Unknown, Simple, Other };
  Kind kind = Kind::Unknown;
  double advance = 0;
  double overhang = 0;  // how far its ink reaches past its advance
};

// The cell font at one size with the metrics that measuring texts needs,
// gathered as texts ask for them. Kept per size: made afresh for each text,
// filling 2,000 register rows takes 363 ms instead of 16 (cell_bench 2000).
class FontMetrics {
 public:
  explicit FontMetrics(float points)
      : font_(layoutFace(platform::songFont(1), points)), metrics_(font_), glyphs_(0x10000) {
    // Lines of characters from the first face are all as high as one line of
    // a digit; where that does not hold here (a face per script), texts are
    // laid out instead.
    const double digit = CellText(QStringLiteral("0"), font_, TextStyle::Plain, 1).height();
    const bool han = glyph(u'中').kind == Glyph::Kind::Simple;
    if (!han || (CellText(QStringLiteral("中"), font_, TextStyle::Plain, 1).height() == digit &&
                 CellText(QStringLiteral("0中a"), font_, TextStyle::Plain, 1).height() == digit))
      lineHeight_ = digit;
  }

  const QFont& font() const { return font_; }
  // Height of one line of simple characters; 0 when texts must be laid out.
  double lineHeight() const { return lineHeight_; }

  // Simple: drawn by the first face, not a space other than U+0020, not a
  // control, format or combining character, not half of a surrogate pair.
  // Found once per character: found at each use, filling 200,000 register
  // rows takes 4.1 s instead of 0.27 (cell_bench 200000).
  const Glyph& glyph(char16_t c) {
    Glyph& g = glyphs_[c];
    if (g.kind != Glyph::Kind::Unknown) return g;
    const QChar ch(c);
    const QChar::Category cat = ch.category();
    const bool plain = !ch.isSurrogate() && (c == u' ' || !ch.isSpace()) && cat != QChar::Other_Control &&
                       cat != QChar::Other_Format && cat != QChar::Mark_NonSpacing &&
                       cat != QChar::Mark_SpacingCombining && cat != QChar::Mark_Enclosing &&
                       cat != QChar::Other_NotAssigned && c != u'\u00AD';
    if (plain && metrics_.inFontUcs4(c)) {
      g.kind = Glyph::Kind::Simple;
      g.advance = metrics_.horizontalAdvance(ch);
      g.overhang = std::max(0.0, -metrics_.rightBearing(ch));
    } else {
      g.kind = Glyph::Kind::Other;
    }
    return g;
  }

  // Whether the two characters side by side take exactly their two advances
  // (no kerning, no ligature). CJK characters are taken to pair plainly.
  bool plainPair(char16_t a, char16_t b) {
    if (a >= kCjkStart || b >= kCjkStart) return true;
    const auto key = (static_cast<std::uint32_t>(a) << 16) | b;
    const auto it = pairs_.find(key);
    if (it != pairs_.end()) return it->second;
    const bool plain = measurePair(a, b);
    pairs_.emplace(key, plain);
    return plain;
  }

 private:
  static constexpr char16_t kCjkStart = 0x2E80;
  QFont font_;
  QFontMetricsF metrics_;
  double lineHeight_ = 0;
  std::vector<Glyph> glyphs_;  // by UTF-16 code unit
  std::unordered_map<std::uint32_t, bool> pairs_;

  bool measurePair(char16_t a, char16_t b) {
    const QChar both[] = {QChar(a), QChar(b)};
    const double pair = metrics_.horizontalAdvance(QString(both, 2));
    return std::abs(pair - glyph(a).advance - glyph(b).advance) < 1e-6;
  }
};

// The program's measure: a piece's advances as FontMetrics knows them, its
// trailing blanks U+0020 (the only blanks a simple text has), and the ink of
// its last character. What comes closer than slack to the width may go
// either way, which only the layout knows.
struct ProgramMeasure {
  FontMetrics& m;
  double slack;

  Piece piece(const QString& text, qsizetype start, qsizetype end) const {
    qsizetype inkEnd = end;
    while (inkEnd > start && text.at(inkEnd - 1) == u' ') --inkEnd;
    Piece p;
    for (qsizetype i = start; i < end; ++i) (i < inkEnd ? p.ink : p.blanks) += m.glyph(text.at(i).unicode()).advance;
    if (inkEnd > start) p.reach = m.glyph(text.at(inkEnd - 1).unicode()).overhang;
    return p;
  }
  Fit fits(double need, double width) const {
    if (need <= width - slack) return Fit::Fits;
    return need > width + slack ? Fit::Overflows : Fit::Unsure;
  }
  // The layout breaks such a piece inside, where it finds room: not foretold.
  std::optional<double> breakInside(const QString&, qsizetype, qsizetype, double, int&) const { return std::nullopt; }
};

// The lines a text of simple characters takes, found from their advances as
// the layout finds them: a wrapping text breaks before the first piece
// between break opportunities that would pass the width (blanks at a line's
// end take no room); an unwrapped text has one line. Nothing when the text
// has other characters, when a piece alone is too wide (it would break inside
// the piece), or when a piece comes so close to the width that rounding
// could decide.
std::optional<int> lineCount(FontMetrics& m, const QString& text, TextStyle style, double width) {
  const qsizetype n = text.size();
  double advances = 0;
  double reach = 0;  // the farthest any character's ink passes its advance
  for (qsizetype i = 0; i < n; ++i) {
    const Glyph& g = m.glyph(text.at(i).unicode());
    if (g.kind != Glyph::Kind::Simple) return std::nullopt;
    if (i > 0 && !m.plainPair(text.at(i - 1).unicode(), text.at(i).unicode())) return std::nullopt;
    advances += g.advance;
    reach = std::max(reach, g.overhang);
  }
  if (style == TextStyle::Plain) return 1;

  const double lineWidth = std::max(width, 1.0);
  // Advances are whole 64ths of a unit; this leaves room for any rounding.
  ProgramMeasure measure{m, 0.0625 + static_cast<double>(n) / 256};
  // A text whose whole width fits, whatever piece ends it, takes one line:
  // the search for break opportunities would find no break either.
  if (measure.fits(advances + reach, lineWidth) == Fit::Fits) return 1;
  // The layout may break at every break opportunity.
  return fillLines(text, lineWidth, measure, [](const QString&, qsizetype) { return true; });
}

}  // namespace

double textHeight(const QString& text, float points, TextStyle style, double width) {
  if (text.isEmpty()) return 0;
  FontMetrics& m = perSize<FontMetrics>(points);
  if (m.lineHeight() > 0) {
    if (const std::optional<int> lines = lineCount(m, text, style, width)) {
      // Added line by line, as the layout adds them.
      double y = 0;
      for (int i = 0; i < *lines; ++i) y += m.lineHeight();
      return y;
    }
  }
  return CellText(text, m.font(), style, width).height();
}

QFont cellFont(float points) { return perSize<FontMetrics>(points).font(); }

CellText::CellText(const QString& text, float points, TextStyle style, double width)
    : CellText(text, cellFont(points), style, width) {}

CellText::CellText(const QString& text, const QFont& font, TextStyle style, double width)
    : layout_(displayText(text), font) {
  if (text.isEmpty()) return;
  const bool wrap = style == TextStyle::Wrap;
  QTextOption option;
  option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::ManualWrap);
  // Blanks at the end of an unwrapped text keep their room (the signature
  // line leaves space for the signature after its label).
  if (!wrap) option.setFlags(QTextOption::IncludeTrailingSpaces);
  layout_.setTextOption(option);
  const double lineWidth = wrap ? std::max(width, 1.0) : 1.0e7;
  layout_.beginLayout();
  double y = 0;
  for (QTextLine line = layout_.createLine(); line.isValid(); line = layout_.createLine()) {
    line.setLineWidth(lineWidth);
    line.setPosition(QPointF(0, y));
    y += line.height();
  }
  layout_.endLayout();
  height_ = y;
}

void CellText::draw(QPainter& painter, const QRectF& box, HAlign h, VAlign v) const {
  if (height_ <= 0) return;
  double top = box.top();
  if (v == VAlign::Centre) top += (box.height() - height_) / 2;
  if (v == VAlign::Bottom) top += box.height() - height_;
  painter.save();
  painter.setClipRect(box, Qt::IntersectClip);
  for (int i = 0; i < layout_.lineCount(); ++i) {
    const QTextLine line = layout_.lineAt(i);
    double left = box.left();
    if (h == HAlign::Centre) left += (box.width() - line.naturalTextWidth()) / 2;
    if (h == HAlign::Right) left += box.width() - line.naturalTextWidth();
    line.draw(&painter, QPointF(left, top));
  }
  painter.restore();
}

}  // namespace cell
