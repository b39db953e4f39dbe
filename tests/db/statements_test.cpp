// The statements of the check run, sent exactly as the checks send them, over
// a small fixture whose answers are known: the formula query, one built-in
// rule of each kind, the copies of the database's own rules, the template
// query of the rule-file import and the chooser's organisation query.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include "check/BuiltinRules.h"
#include "platform/database.h"
#include "tests/support/GoldenSql.h"
#include "tests/support/TestDatabase.h"

using platform::db::Query;
using check::builtinRuleStatement;

namespace {

const QString kRule1 = golden::sql("rule01");
const QString kRule6 = golden::sql("rule06");
const QString kRule13 = golden::sql("rule13");
const QString kFormulaQuery = golden::formulaStatement(QString());

QString withFilter(QString sql, const QString& after, const QString& fragment) {
  for (int at = sql.indexOf(after); at >= 0; at = sql.indexOf(after, at + after.size() + fragment.size()))
    sql.insert(at + after.size(), fragment);
  return sql;
}

// Organisations 甲 (top), 乙 and 丙 below it, 丁 below 乙, 戊 (top, not in use,
// no reports), and reports whose answers to each statement are worked out by hand.
class StatementsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db.exec(QString::fromUtf8(
        "INSERT INTO D01 (D0107, D0127, D0101, useful) VALUES ('001', NULL, '甲市委', '0'), "
        "('001.001', '001', '乙区委', '0'), ('001.002', '001', '丙区委', '0'), "
        "('001.001.001', '001.001', '丁街道', '0'), ('002', '', '戊市委', '1')"));
    db.exec("INSERT INTO RPTTEMPLATE (RPTID, TYPE, RPTNAME) VALUES ('18000800', '1800', 't8'), "
            "('18000400', '1800', 't4'), ('18000700', '1800', 't7'), ('18000401', '1800', 't4a'), "
            "('17000700', '1700', 'o7')");
    db.exec("INSERT INTO RPTREPORT (REPORTID, TEMID, TIMEBEGIN, TIMEEND, ORGID) VALUES "
            "(1, '18000700', '20160101', '20161231', '001.001'), (2, '18000700', '20160101', '20161231', '001.002'), "
            "(3, '18000700', '20160101', '20161231', '001.001.001'), (4, '18000700', '20150101', '20151231', '001.001.001'), "
            "(5, '18000800', '20160101', '20161231', '001.001'), (6, '18000800', '20160101', '20161231', '001.002'), "
            "(7, '18000800', '20160101', '20161231', '001.001.001'), (8, '18000800', '20160101', '20161231', '001'), "
            "(9, '18001500', '20160101', '20161231', '001.001'), (10, '18001500', '20160101', '20161231', '001.002'), "
            "(11, '18001500', '20160101', '20161231', '001.001.001'), (12, '18000400', '20160101', '20161231', '001.001'), "
            "(13, '18000400', '20160101', '20161231', '001.002'), (14, '18001600', '20160101', '20161231', '001.001'), "
            "(15, '18001600', '20160101', '20161231', '001.002')");
    db.exec("INSERT INTO RPTREPORTDATA (REPORTID, ROW, COL, VAL) VALUES "
            // 18000700: 乙 has trigger values and no check value; 丙 '00' and a check value;
            // 丁 only 0 and negative values in 2016, a trigger value in 2015.
            "(1, 3, 1, '5'), (1, 4, 1, '3'), (2, 3, 1, '00'), (2, 4, 1, '7'), (2, 14, 1, '2'), "
            "(3, 3, 1, '0'), (3, 4, 1, '-2'), (3, 5, 1, '0'), (3, 14, 1, '0'), (4, 3, 1, '7'), "
            // 18000800 column 1, rows 1 to 4: 乙 10 10 4 5; 丙 10 10 4 4; 丁 10 11 4 5; 甲 10 10.
            "(5, 1, 1, '10'), (5, 2, 1, '10'), (5, 3, 1, '4'), (5, 4, 1, '5'), "
            "(6, 1, 1, '10'), (6, 2, 1, '10'), (6, 3, 1, '4'), (6, 4, 1, '4'), "
            "(7, 1, 1, '10'), (7, 2, 1, '11'), (7, 3, 1, '4'), (7, 4, 1, '5'), (8, 1, 1, '10'), (8, 2, 1, '10'), "
            // 18001500 G1/A1: 乙 1/8.1, 丙 3/2, 丁 4/0.
            "(9, 1, 1, '8.1'), (9, 1, 7, '1'), (10, 1, 1, '2'), (10, 1, 7, '3'), (11, 1, 1, '0'), (11, 1, 7, '4'), "
            // 18000400 (B19+C19+D19)/A19: 乙 2/4, 丙 0/4.
            "(12, 19, 1, '4'), (12, 19, 2, '1'), (12, 19, 3, '1'), (12, 19, 4, '0'), "
            "(13, 19, 1, '4'), (13, 19, 2, '0'), (13, 19, 3, '0'), (13, 19, 4, '0'), "
            // 18001600 B21/A21: 乙 1/3; 丙 has no B21.
            "(14, 21, 1, '3'), (14, 21, 2, '1'), (15, 21, 1, '3')");
  }

  TestDatabase db;
};

TEST_F(StatementsTest, PresenceRuleListsTriggerWithoutCheckValue) {
  const QStringList names{"temid", "d0101", "d0107"};
  EXPECT_EQ(db.fields(kRule1, names), QStringList{QString::fromUtf8("18000700|乙区委|001.001")});
  // The filtered variants put the fragment into both halves.
  const QString after = QStringLiteral("a.orgid = c.d0107");
  EXPECT_EQ(db.fields(withFilter(kRule1, after, " and a.orgid = '001.001'"), {"d0107"}), QStringList{"001.001"});
  EXPECT_TRUE(db.fields(withFilter(kRule1, after, " and a.orgid = '001.002'"), {"d0107"}).isEmpty());
  EXPECT_EQ(db.fields(withFilter(kRule1, after, " and a.orgid in ('001.002','001.001','1')"), {"d0107"}),
            QStringList{"001.001"});
  EXPECT_EQ(builtinRuleStatement(1, {}), kRule1);
}

TEST_F(StatementsTest, EqualityRuleListsEqualFirstPairWithUnequalSecondPair) {
  EXPECT_EQ(db.fields(kRule6, {"d0107", "d0101"}),
            (QStringList{QString::fromUtf8("001|甲市委"), QString::fromUtf8("001.001|乙区委")}));
  EXPECT_EQ(builtinRuleStatement(6, {}), kRule6);
}

TEST_F(StatementsTest, RatioRulesGiveTheRoundedRatioAsText) {
  EXPECT_EQ(db.fields(kRule13, {"d0107", "val"}), (QStringList{"001.001|0.123457", "001.002|1.5"}));
  EXPECT_EQ(db.fields(withFilter(kRule13, "y.val >'0'", " and a.orgid = '001.002'"), {"val"}), QStringList{"1.5"});
  EXPECT_EQ(builtinRuleStatement(13, {}), kRule13);
  // Summed numerators (rule 12 in column val1, rule 14 over one cell).
  EXPECT_EQ(db.fields(builtinRuleStatement(12, {}), {"d0107", "val1"}), QStringList{"001.001|0.5"});
  EXPECT_EQ(db.fields(builtinRuleStatement(14, {}), {"d0107", "val"}), QStringList{"001.001|0.333333"});
}

class FormulaQueryTest : public StatementsTest {
 protected:
  void SetUp() override {
    StatementsTest::SetUp();
    db.exec(golden::sql("create_tmp_formulaelement"));
    db.exec(golden::sql("create_tmp_formula"));
    const QString formula = QString::fromUtf8(
        "insert into TMP_FORMULA (I_CHECKTYPE,S_FDESCRIBE,I_FRELATE,S_FSORT,S_FTMID,S_OSTINT,I_ORELATE,S_OEXCEPT1,"
        "S_OEXCEPT2,S_FID) values ('%1','描述$V','%2','0','%3','%4','%5','%6','%7','%8')");
    const QString element = QStringLiteral(
        "insert into TMP_FORMULAELEMENT(I_TYPE,I_LINE,S_BTIME,S_ETIME,S_TIME,I_BALANCE,S_TEMID,I_COL,I_ROW,S_FRMLID) "
        "values ('%1','%2','20160101','20161231','2016','%3','%4','%5','%6','%7')");
    // fA: A3 <= A14 of table 7, every organisation.
    db.exec(formula.arg("14", "1", "18000700", "", "99999", "", "", "fA"));
    db.exec(element.arg("0", "0", "1", "18000700", "1", "3", "fA"));
    db.exec(element.arg("1", "0", "1", "18000700", "1", "14", "fA"));
    // fB: A4 - A3 > 0 of table 8 for the 7-character codes; A4's weight is NULL (counts as 1).
    db.exec(formula.arg("11", "4", "18000800", "001", "10", "", "", "fB"));
    db.exec("insert into TMP_FORMULAELEMENT(I_TYPE,I_LINE,S_BTIME,S_ETIME,S_TEMID,I_COL,I_ROW,I_BALANCE,S_FRMLID) "
            "values ('0','0','20160101','20161231','18000800','1','4',NULL,'fB')");
    db.exec(element.arg("0", "1", "-1", "18000800", "1", "3", "fB"));
    // fC: relation 5 is never reported.
    db.exec(formula.arg("13", "5", "18000700", "", "99999", "", "", "fC"));
    db.exec(element.arg("0", "0", "1", "18000700", "1", "3", "fC"));
    // fD: G1 of table 15 = 0, with 乙 and 丁 excluded.
    db.exec(formula.arg("12", "2", "18001500", "", "99999", "001.001", "001.001.001", "fD"));
    db.exec(element.arg("0", "0", "1", "18001500", "7", "1", "fD"));
  }
};

TEST_F(FormulaQueryTest, ReportsEachBrokenFormulaPerOrganisation) {
  const QStringList names{"D0107", "S_FID", "I_LEFT", "I_RIGHT", "I_CHECKTYPE", "I_FRELATE", "S_FTMID", "D0101"};
  EXPECT_EQ(db.fields(kFormulaQuery, names),
            (QStringList{QString::fromUtf8("001.001|fA|5|0|14|1|18000700|乙区委"),
                         QString::fromUtf8("001.002|fB|0|0|11|4|18000800|丙区委"),
                         QString::fromUtf8("001.002|fD|3|0|12|2|18001500|丙区委")}));
}

TEST_F(FormulaQueryTest, OrganisationFilterGoesIntoTheInnermostSelection) {
  EXPECT_EQ(db.fields(golden::formulaStatement(" AND D0107 = '001.002'"), {"S_FID"}),
            (QStringList{"fB", "fD"}));
  EXPECT_EQ(db.fields(golden::formulaStatement(" and D0107 IN ( '001.001','001','1')"), {"S_FID"}),
            QStringList{"fA"});
}

TEST_F(StatementsTest, DatabaseRulesAreCopiedIntoTheWorkingTables) {
  db.exec("INSERT INTO RPTCHECKRULE (RPTID, CHECKID, CHECKTYPE) VALUES ('17000700', 1, 3), ('17000400', 2, 4), "
          "('17000700', 3, 2), ('16000100', 1, 3), ('18000700', 1, 3), ('18000400', 2, 4), ('18000700', 3, 2)");
  db.exec("INSERT INTO RPTFORMULA (RPTID, CHECKID, FORMULAID, EXPRESSION, RELATION) VALUES "
          "('17000700', 1, 1, 'R3C1<=R14C1', '<='), ('17000700', 1, 2, 'R3C1<>R4C1', '<>'), "
          "('17000400', 2, 1, 'T17000400R19C1>=T17001600R21C1', '>='), ('17000400', 2, 2, 'x', '~'), "
          "('17000700', 3, 1, 'R1C1=R2C1', '='), ('16000100', 1, 1, 'R1C1=R2C1', '=')");
  db.exec("INSERT INTO RPTFORMULAELEMENT (RPTID, CHECKID, FORMULAID, ID, TYPE, TABLENAME, EXPRESSION, OPERATOR, "
          "PREFIX, POSTFIX) VALUES ('18000700', 1, 1, 1, 0, '18000700', '(R3C1', '+', '(', ''), "
          "('18000700', 1, 1, 2, 1, '18000700', '-R14C12)', '-', '', ')'), "
          "('18000400', 2, 1, 1, 0, '18000400', 'T18000400R19C1', '', NULL, NULL), "
          "('18000400', 2, 1, 2, 1, '18001600', '(T18001600R21C1)', '+', '', ''), "
          "('18000700', 3, 1, 1, 0, '18000700', 'R1C1', '', '', '')");
  db.exec(golden::sql("create_tmp_formula"));
  db.exec(golden::sql("create_tmp_formulaelement"));
  db.exec(golden::sql("copy_formulas"));
  db.exec(golden::sql("copy_elements"));
  EXPECT_EQ(db.rows("SELECT S_FID, I_CHECKTYPE, S_FDESCRIBE, I_FRELATE, S_FSORT, S_FTMID, S_OSTINT, I_ORELATE, "
                    "S_OEXCEPT1, S_OEXCEPT2 FROM TMP_FORMULA ORDER BY S_FID"),
            (QStringList{"17000400_2_1|4|T17000400R19C1>=T17001600R21C1|3|0|17000400||99999||",
                         "17000400_2_2|4|x||0|17000400||99999||", "17000700_1_1|3|R3C1<=R14C1|1|0|17000700||99999||",
                         "17000700_1_2|3|R3C1<>R4C1|5|0|17000700||99999||"}));
  EXPECT_EQ(db.rows("SELECT S_FRMLID, I_TYPE, I_LINE, S_BTIME, S_ETIME, S_TIME, S_DESCRIBE, S_TEMID, I_COL, I_ROW, "
                    "I_BALANCE, S_LFIX, S_RFIX FROM TMP_FORMULAELEMENT ORDER BY S_FRMLID, I_TYPE, I_LINE"),
            (QStringList{"18000400_2_1|0|1|20160101|20161231|2016||18000400|1|19|1||",
                         "18000400_2_1|1|2|20160101|20161231|2016||18001600|1|21|1||",
                         "18000700_1_1|0|1|20160101|20161231|2016||18000700|1|3|1|(|",
                         "18000700_1_1|1|2|20160101|20161231|2016||18000700|12|14|-1||)"}));
}

TEST_F(StatementsTest, TemplateQueryAndChooserQuery) {
  EXPECT_EQ(db.column("SELECT RPTID  FROM RPTTEMPLATE WHERE TYPE ='1800' AND RPTID  LIKE '%00' order by rptid"),
            (QStringList{"18000400", "18000700", "18000800"}));
  EXPECT_EQ(db.fields("select D0107,D0127,D0101 from D01 where useful='0' ORDER BY D0107", {"D0107", "D0127"}),
            (QStringList{"001|", "001.001|001", "001.001.001|001.001", "001.002|001"}));
}

}  // namespace
