// Text heights measured without a layout equal those of the laid-out text.
#include <gtest/gtest.h>

#include <QString>

#include "cell/CellText.h"

using cell::CellText;
using cell::TextStyle;

namespace {

// Texts of every kind the register holds, and some it might.
const char16_t* const kTexts[] = {
    u"",
    u"逻辑",
    u"中组统12表",
    u"第1项：党员人数与合计不符，请核实。",
    u"XX市委：第1表中第3行第2列的值（12）应等于第4行与第5行之和（10）",
    u"某某县委第100522党支部：第6表第6行第2列的值应等于第4行至第9行之和，实际相差5人，请逐项核对各基层党组织的上报数据后重新汇总上报。",
    u" 若A1=A2，则A3=A4",
    u"东川市委 (A2或A3或A4>0) 补充资料1-1 =0",
    u"Latin text, ÄÖÜ with AVAVAV To Wa Ty office fi fl, spaces   and more words to wrap across lines",
    u"averyveryverylongwordwithoutanybreakopportunitythatmustbreakanywhereinsteadofatwordboundaries",
    u"审核人签名：                      ",
    u"第1行\n第2行\n\n第4行",
    u"Windows\r\nline ends",
    u"tab\tinside",
    u"no\u00A0break\u00A0space and\u3000ideographic space",
    u"soft\u00ADhyphen",
    u"e\u0301 combining",
    u"beyond the BMP: 𠀀𪚥",
    u"数字1234567890和符号！？、；：“”‘’（）《》【】",
};

}  // namespace

TEST(CellText, MeasuredHeightsEqualLaidOutHeights) {
  const float sizes[] = {10.0f, 12.0f, 20.0f};
  const double widths[] = {1, 80, 330, 1130, 2480};
  for (const char16_t* t : kTexts) {
    const QString text = QString::fromUtf16(t);
    for (float points : sizes)
      for (double width : widths)
        for (TextStyle style : {TextStyle::Plain, TextStyle::Wrap}) {
          const double expected = CellText(text, points, style, width).height();
          EXPECT_EQ(cell::textHeight(text, points, style, width), expected)
              << text.toStdString() << " at " << points << " pt, width " << width
              << (style == TextStyle::Wrap ? " wrapped" : "");
        }
  }
}

// Every prefix of a long mixed text at widths around its breaks: the line
// breaks found from advances are the layout's, also where a piece just fits.
TEST(CellText, EveryPrefixWrapsAsTheLayoutWrapsIt) {
  const QString text = QStringLiteral(
      "某某县委第100522党支部：第6表第6行第2列的值（12）应等于第4行至第9行之和 若A1=A2，则A3=A4，"
      "实际相差5人 and some Latin words, to wrap, 请逐项核对各基层党组织的上报数据后重新汇总上报。");
  for (qsizetype n = 1; n <= text.size(); ++n) {
    const QString prefix = text.left(n);
    for (double width = 300; width <= 1200; width += 37.5) {
      const double expected = CellText(prefix, 10.0f, TextStyle::Wrap, width).height();
      ASSERT_EQ(cell::textHeight(prefix, 10.0f, TextStyle::Wrap, width), expected)
          << prefix.toStdString() << " width " << width;
    }
  }
}

// A text measured again right after itself, or after other texts, sizes,
// styles and widths, still measures as its own layout: repeats are measured
// once, and nothing of one measurement leaks into another.
TEST(CellText, RepeatedTextsMeasureAsTheirLayout) {
  const QString longText = QString::fromUtf16(kTexts[5]);
  const QString shortText = QString::fromUtf16(kTexts[2]);
  const struct {
    QString text;
    float points;
    TextStyle style;
    double width;
  } calls[] = {
      {longText, 10.0f, TextStyle::Wrap, 1130}, {longText, 10.0f, TextStyle::Wrap, 1130},
      {longText, 10.0f, TextStyle::Wrap, 330},  {longText, 10.0f, TextStyle::Plain, 330},
      {longText, 12.0f, TextStyle::Wrap, 330},  {shortText, 12.0f, TextStyle::Wrap, 330},
      {longText, 12.0f, TextStyle::Wrap, 330},  {longText + QStringLiteral("。"), 12.0f, TextStyle::Wrap, 330},
      {longText, 12.0f, TextStyle::Wrap, 330},  {QString(), 12.0f, TextStyle::Wrap, 330},
      {longText, 12.0f, TextStyle::Wrap, 330},
  };
  for (const auto& c : calls)
    EXPECT_EQ(cell::textHeight(c.text, c.points, c.style, c.width), CellText(c.text, c.points, c.style, c.width).height())
        << c.text.size() << " characters at " << c.points << " pt, width " << c.width;
}
