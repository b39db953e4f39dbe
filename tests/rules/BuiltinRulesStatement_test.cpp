// The texts of the 26 built-in rule statements for no, one and several chosen
// organisations. A few are compared whole; the rest by their parts.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <stdexcept>

#include "check/BuiltinRules.h"
#include "tests/support/GoldenSql.h"
#include "tests/support/QStringPrint.h"

namespace {

using check::builtinRuleStatement;

const QString kRule1All = golden::sql("rule01");
const QString kRule6All = golden::sql("rule06");
const QString kRule13All = golden::sql("rule13");

TEST(RulesStatement, WholeTextsForAllOrganisations) {
  EXPECT_EQ(builtinRuleStatement(1, {}), kRule1All);
  EXPECT_EQ(builtinRuleStatement(6, {}), kRule6All);
  EXPECT_EQ(builtinRuleStatement(13, {}), kRule13All);
}

TEST(RulesStatement, WholeTextsForOneAndTwoOrganisations) {
  const QString one = QStringLiteral(" and a.orgid = '001.002'");
  QString rule1 = kRule1All;
  rule1.replace(QStringLiteral("a.orgid = c.d0107  and"), QStringLiteral("a.orgid = c.d0107") + one +
                                                              QStringLiteral("  and"));
  EXPECT_EQ(builtinRuleStatement(1, {QStringLiteral("001.002")}), rule1);

  EXPECT_EQ(builtinRuleStatement(13, {QStringLiteral("001"), QStringLiteral("002")}),
            QStringLiteral(
                "select a.temid, c.d0101,c.d0107,cast(round(cast(w.val as float)/cast(y.val as "
                "float),6) as text) as val from rptreport a,d01 c,(select * from rptreportdata where "
                "row ='1' and col ='7' ) w,(select * from rptreportdata where row ='1' and col ='1' ) "
                "y  where a.reportid = w.reportid and w.reportid = y.reportid and a.orgid = c.d0107  "
                "and  w.val >'0' and y.val >'0' and a.orgid in ('001','002','1')  and a.timebegin "
                "='20160101' and a.timeend ='20161231' and a.temid ='18001500'  order by d0107,temid "));
}

// The filtered variants of every rule are the all-organisations text with
// the fragment in both halves (presence, equality) or once (ratio).
TEST(RulesStatement, FilterVariantsOfEveryRule) {
  struct Choice {
    QStringList codes;
    QString fragment;
  };
  const Choice choices[] = {
      {{QStringLiteral("001'A")}, QStringLiteral(" and a.orgid = '001''A'")},
      {{QStringLiteral("001"), QStringLiteral("0'2")}, QStringLiteral(" and a.orgid in ('001','0''2','1')")},
      {{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")},
       QStringLiteral(" and a.orgid in ('1','2','3','1')")},
  };
  for (int n = 1; n <= 26; ++n) {
    const QString all = builtinRuleStatement(n, {});
    const bool ratio = n >= 12;
    const QString anchor = ratio ? QStringLiteral("y.val >'0'") : QStringLiteral("a.orgid = c.d0107");
    ASSERT_EQ(all.count(anchor), ratio ? 1 : 2) << "rule " << n;
    EXPECT_FALSE(all.contains(QStringLiteral("orgid in"))) << "rule " << n;
    EXPECT_FALSE(all.contains(QStringLiteral("a.orgid = '"))) << "rule " << n;
    for (const Choice& c : choices) {
      QString expected = all;
      expected.replace(anchor, anchor + c.fragment);
      EXPECT_EQ(builtinRuleStatement(n, c.codes), expected) << "rule " << n << " codes " << c.codes.size();
    }
  }
}

TEST(RulesStatement, PresenceRulesTriggerAndCheckRows) {
  struct Case {
    int rule;
    QString triggers;
    QString check;
  };
  const Case cases[] = {
      {2,
       QStringLiteral("((row = '6' and col ='1' and val >'0') or (row = '7' and col ='1' and  val >'0') "
                      "or (row = '8' and col ='1' and  val >'0'))"),
       QStringLiteral("(row = '19' and col ='1' and val > '0')")},
      {3,
       QStringLiteral("((row = '9' and col ='1' and val >'0') or (row = '10' and col ='1' and  val "
                      ">'0') or (row = '11' and col ='1' and  val >'0'))"),
       QStringLiteral("(row = '20' and col ='1' and val > '0')")},
      {4, QStringLiteral("((row = '12' and col ='1' and val >'0'))"),
       QStringLiteral("(row = '21' and col ='1' and val > '0')")},
      {5, QStringLiteral("((row = '13' and col ='1' and val >'0'))"),
       QStringLiteral("(row = '15' and col ='1' and val > '0')")},
  };
  for (const Case& c : cases) {
    QString expected = kRule1All;
    expected.replace(QStringLiteral("((row = '3' and col ='1' and val >'0') or (row = '4' and col ='1' "
                                    "and  val >'0') or (row = '5' and col ='1' and  val >'0'))"),
                     c.triggers);
    expected.replace(QStringLiteral("(row = '14' and col ='1' and val > '0')"), c.check);
    EXPECT_EQ(builtinRuleStatement(c.rule, {}), expected) << "rule " << c.rule;
  }
}

TEST(RulesStatement, EqualityRulesUseTheirColumnInAllSixPlaces) {
  const int columns[] = {1, 3, 5, 6, 7, 8};
  for (int i = 0; i < 6; ++i) {
    const QString c = QString::number(columns[i]);
    QString expected = kRule6All;
    expected.replace(QStringLiteral("col ='1'"), QStringLiteral("col ='") + c + QLatin1Char('\''));
    expected.replace(QStringLiteral("col = '1'"), QStringLiteral("col = '") + c + QLatin1Char('\''));
    EXPECT_EQ(builtinRuleStatement(6 + i, {}), expected) << "rule " << 6 + i;
    EXPECT_EQ(expected.count(QStringLiteral("col ='") + c), 4);
    EXPECT_EQ(expected.count(QStringLiteral("col = '") + c), 2);
  }
}

QString summedCell(const QString& col) {
  return QStringLiteral(
             "(select sum(1 * d.val ) as val,d.REPORTID  from rptreportdata d,rptreport e where "
             "d.reportid = e.reportid   and e.temid ='18001600' and  d.row ='21' and d.col ='") +
         col + QStringLiteral("'  GROUP BY d.REPORTID  )");
}

TEST(RulesStatement, RatioRulesTemplatesCellsAndDecimals) {
  struct Case {
    int rule;
    QString templateId;
    QString numerator;  // the w sub-select
    QString denominator;  // row and col of y
    int decimals;
  };
  const auto cell = [](const char* row, const char* col) {
    return QStringLiteral("(select * from rptreportdata where row ='%1' and col ='%2' )")
        .arg(QLatin1String(row), QLatin1String(col));
  };
  const Case cases[] = {
      {14, QStringLiteral("18001600"), summedCell(QStringLiteral("2")), cell("21", "1"), 6},
      {15, QStringLiteral("18001600"), summedCell(QStringLiteral("3")), cell("21", "1"), 6},
      {16, QStringLiteral("18001600"), summedCell(QStringLiteral("7")), cell("21", "1"), 6},
      {17, QStringLiteral("18001600"), summedCell(QStringLiteral("8")), cell("21", "1"), 6},
      {18, QStringLiteral("18001600"), summedCell(QStringLiteral("9")), cell("21", "1"), 6},
      {19, QStringLiteral("18001700"), cell("16", "1"), cell("15", "1"), 4},
      {20, QStringLiteral("18001700"), cell("16", "2"), cell("15", "2"), 6},
      {21, QStringLiteral("18001800"), cell("4", "7"), cell("4", "1"), 6},
      {22, QStringLiteral("18001800"), cell("18", "7"), cell("18", "1"), 6},
      {23, QStringLiteral("18001800"), cell("21", "5"), cell("21", "1"), 6},
      {24, QStringLiteral("18001900"), cell("4", "7"), cell("4", "1"), 6},
      {25, QStringLiteral("18001900"), cell("16", "7"), cell("16", "1"), 6},
      {26, QStringLiteral("18001900"), cell("18", "5"), cell("18", "1"), 6},
  };
  for (const Case& c : cases) {
    QString expected = kRule13All;
    expected.replace(cell("1", "7") + QStringLiteral(" w,") + cell("1", "1"),
                     c.numerator + QStringLiteral(" w,") + c.denominator);
    expected.replace(QStringLiteral("'18001500'"), QLatin1Char('\'') + c.templateId + QLatin1Char('\''));
    expected.replace(QStringLiteral("as float),6)"),
                     QStringLiteral("as float),%1)").arg(c.decimals));
    EXPECT_EQ(builtinRuleStatement(c.rule, {}), expected) << "rule " << c.rule;
  }
}

TEST(RulesStatement, Rule12SumsThreeColumnsIntoVal1) {
  EXPECT_EQ(builtinRuleStatement(12, {}),
            QStringLiteral(
                "select a.temid, c.d0101,c.d0107,cast(round(cast(w.val as float)/cast(y.val as "
                "float),6) as text ) as val1 from rptreport a,d01 c,(select sum(1 * d.val) as "
                "val,d.REPORTID  from rptreportdata d ,rptreport e  where d.reportid = e.reportid   and "
                "e.temid ='18000400' and d.row ='19'  and (d.col ='2' or d.col ='3' or d.col ='4' ) "
                "GROUP BY d.REPORTID ) w,(select * from rptreportdata where row ='19' and col ='1' ) y  "
                "where a.reportid = w.reportid and w.reportid = y.reportid and a.orgid = c.d0107  and  "
                "w.val >'0' and y.val >'0'  and a.timebegin ='20160101' and a.timeend ='20161231' and "
                "a.temid ='18000400'  order by d0107,temid "));
}

TEST(RulesStatement, NumbersOutsideTheTableAreRefused) {
  EXPECT_THROW(builtinRuleStatement(0, {}), std::out_of_range);
  EXPECT_THROW(builtinRuleStatement(27, {}), std::out_of_range);
}

}  // namespace
