// The problem texts: categories, markers, rendered relations, table labels and
// the splitting rule they rest on.
#include <gtest/gtest.h>

#include "check/ProblemTexts.h"
#include "tests/support/QStringPrint.h"

using check::TextError;

TEST(TextsSplit, ItemsBlanksQuotesAndEmptyItems) {
  const struct {
    QString text;
    char delimiter;
    QStringList items;
  } cases[] = {
      {"", ',', {}},
      {"   ", ',', {}},
      {"a,b", ',', {"a", "b"}},
      {" a , b ", ',', {"a", "b"}},
      {"a b", ',', {"a", "b"}},  // a blank separates like the delimiter
      {"a\tb\r\nc", ',', {"a", "b", "c"}},
      {",a", ',', {"", "a"}},
      {"a,,b", ',', {"a", "", "b"}},
      {"a,", ',', {"a", ""}},
      {"a, ", ',', {"a"}},  // the delimiter is not the last character
      {"\"x,y\",z", ',', {"x,y", "z"}},
      {"\"a\"\"b\"", ',', {"a\"b"}},
      {"\"open", ',', {"open"}},
      {QString("a") + QChar(0) + ",b", ',', {"a"}},  // code 0 ends the text
      {"R12C3", 'C', {"R12", "3"}},
      {"1-2-3", '-', {"1", "2", "3"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(check::splitItems(c.text, QLatin1Char(c.delimiter)), c.items) << c.text.toStdString();
}

TEST(TextsCategory, TableOfCheckTypes) {
  const struct {
    QString type, category;
  } cases[] = {
      {"3", "原库中表内校核(未通过)"}, {"4", "原库中表间校核(未通过)"},
      {"11", "不应为零(应该有数据)"}, {"12", "不应有数据"},
      {"13", "需报说明"},             {"14", "校核未通过"},
      {"5", ""},                       {"0", ""},
      {"-3", ""},                      {"014", "校核未通过"},
  };
  for (const auto& c : cases) EXPECT_EQ(check::checkTypeCaption(c.type), c.category) << c.type.toStdString();
}

TEST(TextsProblem, MarkersAndRenderedRelations) {
  const struct {
    QString type, describe, org, value, text;
  } cases[] = {
      {"11", "$D: $T$V", "X", "7", "X: 7"},
      {"11", "$D有$V个", "a$Vb", "7", "a7b有7个"},  // $V replaced after $D
      {"13", "$d $t $v", "X", "7", "$d $t $v"},     // markers are case-sensitive
      {"12", "无标记", "X", "7", "无标记"},
      {"03", "$D", "X", "", "X"},  // only the texts "3" and "4" render relations
      // Type 3.
      {"3", "R12C3=R4C3+R5C3", "X", "9", "X C12等于C4+C5"},
      {"3", "(R1C2)>(R3C4)", "X", "", "X B1大于D3"},
      {"3", "R1C1>=R2C1", "X", "", "X A1大于等于A2"},
      {"3", "R1C1<=R2C1-R3C1", "X", "", "X A1小于等于A2-A3"},
      {"3", "R1C1<R2C1", "X", "", "X A1小于A2"},
      {"3", "R1C1 = R2C1", "X", "", "X A1等于A2"},
      {"3", "R05C1=R1C26", "X", "", "X A05等于Z1"},
      // A column past 26 keeps the low byte of 64 + column, without
      // overflowing on the largest integer.
      {"3", "R1C27=R1C2147483647", "X", "", "X [1等于?1"},
      // Type 4.
      {"4", "T17000400R12C3=T17000500R3C3+T17000500R4C3", "X", "", "X 4表C12等于5表C3+5表C4"},
      {"4", "T17001500R1C1>T17000900R2C2", "X", "", "X 15表A1大于9表B2"},
      // Rows with "00" in them keep it; only the table number loses its zeros.
      {"4", "T17001000R100C3=T17002000R1001C1", "X", "", "X 10表C100等于20表A1001"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(check::buildProblemText(c.type, c.describe, c.org, c.value), c.text)
        << c.describe.toStdString();
}

TEST(TextsSide, SignsJoinRenderedReferences) {
  const struct {
    QString side, rendered;
  } cases[] = {
      {"R1C1+R2C1-R3C1", "A1+A2-A3"},
      {"R1C1-R2C1+R3C1", "A1-A2+A3"},
      {"R1C1-R2C1+R3C1-R4C1", "A1-A2+A3-A4"},
      {"R1C1-R2C1", "A1-A2"},
      {"(R1C1)+(R2C1)", "A1+A2"},
      {"R7C2", "B7"},
  };
  for (const auto& c : cases) EXPECT_EQ(check::renderExpressionSide("3", c.side), c.rendered);
  EXPECT_EQ(check::renderCellRef("4", "T17000400R12C3"), "4表C12");
  EXPECT_EQ(check::renderCellRef("3", "R12C3"), "C12");
}

TEST(TextsLabel, TemplateIds) {
  const struct {
    QString id, label;
  } cases[] = {
      {"18000700", "第7表"}, {"18000400", "第4表"},   {"18001800", "第18表"},
      {"18001900", "第19表"}, {"18001500", "第15表"}, {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(check::tableLabel(c.id), c.label) << c.id.toStdString();
}

TEST(TextsFailures, EachFunctionRaises) {
  EXPECT_THROW(check::checkTypeCaption("x"), TextError);
  EXPECT_THROW(check::checkTypeCaption(""), TextError);
  EXPECT_THROW(check::checkTypeCaption("3 "), TextError);
  const char* badRelations[] = {
      "R1C1",            // no operator
      "R1C1=",           // empty right side
      "=R1C1",           // empty left side
      "R1C1=R2C1+",      // trailing sign
      "R1C1=+R2C1",      // leading sign
      "R1C1=R2C1+-R3C1", // two signs in a row
      "R1C1=R2Cx",       // column not an integer
      "R1C1=R2",         // no column
  };
  for (const char* e : badRelations)
    EXPECT_THROW(check::buildProblemText("3", e, "X", ""), TextError) << e;
  EXPECT_THROW(check::renderCellRef("4", "T1700XX00R1C1"), TextError);
  EXPECT_THROW(check::tableLabel("abc"), TextError);
  EXPECT_THROW(check::tableLabel("18000000"), TextError);  // nothing left to read
}
