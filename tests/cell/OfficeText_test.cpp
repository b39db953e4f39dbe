// The measure of a text in an office suite's faces: lines broken where any
// suite may break them, each as tall as the taller face's.
#include <gtest/gtest.h>

#include <QString>

#include <cmath>

#include "cell/CellText.h"
#include "cell/OfficeText.h"
#include "cell/TextMeasure.h"

using cell::TextStyle;

namespace {

constexpr float kPoints = 10.0f;
// A CJK character is one em wide in every face: 10 points in layout units.
const double kEm = std::lround(kPoints * cell::kUnitsPerPoint);

double oneLine() { return cell::officeTextHeight(QStringLiteral("中"), kPoints, TextStyle::Plain, 1e6); }

int lines(const QString& text, TextStyle style, double ems) {
  return static_cast<int>(std::lround(cell::officeTextHeight(text, kPoints, style, ems * kEm) / oneLine()));
}

}  // namespace

TEST(OfficeText, LinesBreakBetweenChineseCharactersAfterBlanksAndAtTheTextsOwnBreaks) {
  const QString ten = QStringLiteral("中").repeated(10);
  const struct {
    QString text;
    TextStyle style;
    double ems;
    int lines;
  } cases[] = {
      {ten, TextStyle::Wrap, 10, 1},
      {ten, TextStyle::Wrap, 9.5, 2},
      {ten, TextStyle::Wrap, 4.5, 3},
      {ten, TextStyle::Plain, 4.5, 1},
      // The blank at a line's end takes no room.
      {QStringLiteral("中中中 中中中"), TextStyle::Wrap, 3, 2},
      // Line feeds, CR LF as one, an empty line between.
      {QStringLiteral("第1行\n第2行\r\n\n第4行"), TextStyle::Plain, 100, 4},
      {QStringLiteral("第1行\n第2行\r\n\n第4行"), TextStyle::Wrap, 100, 4},
      // A run of Latin letters and digits longer than a line is broken inside.
      {QStringLiteral("A1").repeated(40), TextStyle::Wrap, 10, 6},
  };
  for (const auto& c : cases)
    EXPECT_EQ(lines(c.text, c.style, c.ems), c.lines) << c.text.toStdString() << " in " << c.ems << " em";
  EXPECT_EQ(cell::officeTextHeight(QString(), kPoints, TextStyle::Wrap, kEm), 0);
}

// The suite's lines are at least as tall as the program's, and a text takes
// at least as many of them: its faces are wider.
TEST(OfficeText, ASuiteNeedsAtLeastTheProgramsHeight) {
  const char16_t* const texts[] = {
      u"逻辑",
      u"第1项：党员人数与合计不符，请核实。",
      u"XX市委：第1表中第3行第2列的值（12）应等于第4行与第5行之和（10）",
      u"东川开发人民路二合作社党支部 若A19>0, 则 (B19+C19+D19)/A19 = 50.15%",
      u"Latin text, ÄÖÜ with AVAVAV To Wa Ty office fi fl, spaces   and more words to wrap across lines",
      u"数字1234567890和符号！？、；：“”‘’（）《》【】",
      u"第1行\n第2行\n\n第4行",
  };
  for (const char16_t* t : texts) {
    const QString text = QString::fromUtf16(t);
    for (double width = 300; width <= 2400; width += 150)
      EXPECT_GE(cell::officeTextHeight(text, kPoints, TextStyle::Wrap, width),
                cell::textHeight(text, kPoints, TextStyle::Wrap, width))
          << text.toStdString() << " width " << width;
  }
}
