#include "cell/CellText.h"

#include <QPainter>
#include <QTextLine>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace cell {
namespace {

// Layout units per point: 25.4 mm / 72 points, in tenths of a millimetre.
constexpr double kUnitsPerPoint = 254.0 / 72.0;

QString displayText(QString text) {
  text.remove(QLatin1Char('\r'));
  text.replace(QLatin1Char('\n'), QChar::LineSeparator);
  return text;
}

}  // namespace

QFont cellFont(float points) {
  QFont font;
  font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei"),
                    QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif CJK SC")});
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * kUnitsPerPoint))));
  // Unhinted advances scale linearly, so a line broken for the screen breaks
  // the same way on paper.
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setStyleStrategy(QFont::PreferOutline);
  return font;
}

CellText::CellText(const QString& text, float points, TextStyle style, double width)
    : layout_(displayText(text), cellFont(points)) {
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
