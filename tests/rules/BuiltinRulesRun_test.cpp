// The built-in rules against the real database: small report fixtures for
// the edge cases of each kind, and one run in which every rule finds exactly
// one organisation.
#include <gtest/gtest.h>

#include <QLocale>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "check/ProgressSink.h"
#include "check/BuiltinRules.h"
#include "check/RunError.h"
#include "check/SqlText.h"
#include "platform/database.h"
#include "tests/support/QStringPrint.h"
#include "tests/support/ScopedLocale.h"
#include "tests/support/TestDatabase.h"

namespace {

using check::quoteLiteral;

// Records the gauge and, at every pump, the rule whose statement the query
// holds at that moment.
class RecordingSink : public ProgressSink {
 public:
  explicit RecordingSink(const platform::db::Query& qry) : qry_(qry) {}
  void setMessage(const QString&) override {}
  void setMinimum(int minimum) override { minimum_ = minimum; }
  void setMaximum(int maximum) override { maximum_ = maximum; }
  void setProgress(int value) override { value_ = std::clamp(value, minimum_, maximum_); }
  int progress() const override { return value_; }
  void pump() override {
    int rule = 0;
    for (int n = 1; n <= 26 && rule == 0; ++n)
      if (qry_.sql() == check::builtinRuleStatement(n, codes)) rule = n;
    pumpedRules.push_back(rule);
    pumpedValues.push_back(value_);
  }

  // The rules in the order they pumped, each once however often it did.
  std::vector<int> rulesThatPumped() const {
    std::vector<int> out;
    for (int rule : pumpedRules)
      if (out.empty() || out.back() != rule) out.push_back(rule);
    return out;
  }

  QStringList codes;  // the choice the run was given, to recognise its statements
  std::vector<int> pumpedRules;
  std::vector<int> pumpedValues;

 private:
  const platform::db::Query& qry_;
  int minimum_ = 0;
  int maximum_ = 100;
  int value_ = 0;
};

class RulesRun : public ::testing::Test {
 protected:
  void org(const QString& code, const QString& name) {
    db.exec(QStringLiteral("insert into d01 (d0107, d0127, d0101) values (%1, '', %2)")
                .arg(quoteLiteral(code), quoteLiteral(name)));
  }
  int report(const QString& orgCode, const QString& templateId,
             const QString& begin = QStringLiteral("20160101"),
             const QString& end = QStringLiteral("20161231")) {
    const int id = nextReport_++;
    db.exec(QStringLiteral("insert into rptreport (reportid, temid, timebegin, timeend, orgid) "
                           "values (%1, %2, %3, %4, %5)")
                .arg(QString::number(id), quoteLiteral(templateId), quoteLiteral(begin),
                     quoteLiteral(end), quoteLiteral(orgCode)));
    return id;
  }
  void cell(int reportId, int row, int col, const QString& val) {
    db.exec(QStringLiteral("insert into rptreportdata (reportid, row, col, val) values (%1, %2, %3, %4)")
                .arg(QString::number(reportId), QString::number(row), QString::number(col),
                     quoteLiteral(val)));
  }

  // Every problem the rules store, as "template|label|text|category|reply".
  QStringList run(const QStringList& codes = {}) {
    platform::db::Query qry(db.connection());
    RecordingSink sink(qry);
    return run(qry, sink, codes);
  }
  QStringList run(platform::db::Query& qry, RecordingSink& sink, const QStringList& codes) {
    QStringList stored;
    runInto(qry, sink, codes, stored);
    return stored;
  }
  void runInto(platform::db::Query& qry, RecordingSink& sink, const QStringList& codes, QStringList& stored) {
    sink.codes = codes;
    check::runBuiltinRules(
        qry, codes,
        [&stored](const QString& rpt, const QString& label, const QString& text, const QString& category,
                  const QString& reply) {
          stored << QStringList{rpt, label, text, category, reply}.join(QLatin1Char('|'));
        },
        sink);
  }

  // The given field of every row of one rule's statement.
  QStringList field(int rule, const QString& name, const QStringList& codes = {}) {
    platform::db::Query qry(db.connection());
    qry.setSql(check::builtinRuleStatement(rule, codes));
    qry.open();
    QStringList out;
    for (; !qry.eof(); qry.next()) out << qry.fieldByName(name);
    return out;
  }

  TestDatabase db;

 private:
  int nextReport_ = 1;
};

// ---- presence -------------------------------------------------------------

TEST_F(RulesRun, PresenceRuleListsTriggerValuesWithoutCheckValue) {
  struct Case {
    const char* code;
    std::vector<std::pair<int, const char*>> cells;  // rows of column 1
    bool listed;
  };
  const Case cases[] = {
      {"P01", {{3, "5"}}, true},                          // row 14 missing
      {"P02", {{3, "5"}, {14, ""}}, true},                // row 14 empty
      {"P03", {{3, "5"}, {14, "2"}}, false},              // check value present
      {"P04", {{3, "0"}, {4, "0"}, {5, "0"}}, false},     // no trigger value
      {"P05", {{3, "00"}}, true},                         // sorts after the text 0
      {"P06", {{3, "0.5"}}, true},
      {"P07", {{3, "5"}, {4, "5"}, {5, "5"}}, true},      // listed once
      {"P08", {{3, "5"}, {14, "0"}}, true},               // 0 is no check value
  };
  for (const Case& c : cases) {
    const QString code = QLatin1String(c.code);
    org(code, QStringLiteral("单位") + code);
    const int id = report(code, QStringLiteral("18000700"));
    for (const auto& [row, val] : c.cells) cell(id, row, 1, QString::fromUtf8(val));
  }
  // Outside the period, and another template: never looked at.
  org(QStringLiteral("P09"), QStringLiteral("单位P09"));
  cell(report(QStringLiteral("P09"), QStringLiteral("18000700"), QStringLiteral("20150101"),
              QStringLiteral("20151231")),
       3, 1, QStringLiteral("5"));
  cell(report(QStringLiteral("P09"), QStringLiteral("18000800")), 3, 1, QStringLiteral("5"));

  QStringList expected;
  for (const Case& c : cases)
    if (c.listed)
      expected << QStringLiteral("18000700|第7表|单位%1 (A2或A3或A4>0) 补充资料1-1 =0|不应为零(应该有数据)|")
                      .arg(QLatin1String(c.code));
  EXPECT_EQ(run(), expected);
}

// ---- equality -------------------------------------------------------------

TEST_F(RulesRun, EqualityRuleListsEqualFirstRowsWithUnequalLastRows) {
  struct Case {
    const char* code;
    std::vector<std::pair<int, const char*>> cells;  // rows of column 1
    bool listed;
  };
  const Case cases[] = {
      {"E01", {{1, "10"}, {2, "10"}, {3, "4"}, {4, "5"}}, true},
      {"E02", {{1, "10"}, {2, "10"}, {3, "4"}, {4, "4"}}, false},
      {"E03", {{1, "10"}, {2, "9"}, {3, "4"}, {4, "5"}}, false},
      {"E04", {{1, "10"}, {2, "10"}}, true},  // no cells in rows 3 and 4
  };
  for (const Case& c : cases) {
    const QString code = QLatin1String(c.code);
    org(code, QStringLiteral("单位") + code);
    const int id = report(code, QStringLiteral("18000800"));
    for (const auto& [row, val] : c.cells) cell(id, row, 1, QString::fromUtf8(val));
  }
  // Two reports of one organisation are summed together: 10/10 and 4/5 in
  // each still give one row.
  org(QStringLiteral("E05"), QStringLiteral("单位E05"));
  for (int i = 0; i < 2; ++i) {
    const int id = report(QStringLiteral("E05"), QStringLiteral("18000800"));
    cell(id, 1, 1, QStringLiteral("10"));
    cell(id, 2, 1, QStringLiteral("10"));
    cell(id, 3, 1, QStringLiteral("4"));
    cell(id, 4, 1, QStringLiteral("5"));
  }
  const QString row = QStringLiteral("18000800|第8表|单位%1 若A1=A2，则A3=A4|校核未通过|");
  EXPECT_EQ(run(), (QStringList{row.arg(QStringLiteral("E01")), row.arg(QStringLiteral("E04")),
                                row.arg(QStringLiteral("E05"))}));
}

// ---- ratio ----------------------------------------------------------------

TEST_F(RulesRun, RatioRuleListsEveryReportWithBothValues) {
  struct Case {
    const char* code;
    const char* numerator;    // row 1 col 7; nullptr: no cell
    const char* denominator;  // row 1 col 1
  };
  const Case cases[] = {
      {"R01", "123457", "1000000"},  // 0.123457
      {"R02", "3", "2"},             // above 100%
      {"R03", "1", nullptr},
      {"R04", "1", "0"},
      {"R05", "0", "4"},
      {"R06", nullptr, "4"},
      {"R07", "1", "1000"},          // 0.001
  };
  for (const Case& c : cases) {
    const QString code = QLatin1String(c.code);
    org(code, QStringLiteral("单位") + code);
    const int id = report(code, QStringLiteral("18001500"));
    if (c.numerator) cell(id, 1, 7, QLatin1String(c.numerator));
    if (c.denominator) cell(id, 1, 1, QLatin1String(c.denominator));
  }
  // Two reports of one organisation: one row each.
  org(QStringLiteral("R08"), QStringLiteral("单位R08"));
  for (const char* num : {"1", "2"}) {
    const int id = report(QStringLiteral("R08"), QStringLiteral("18001500"));
    cell(id, 1, 7, QLatin1String(num));
    cell(id, 1, 1, QStringLiteral("4"));
  }
  const QString row = QStringLiteral("18001500|第15表|单位%1 若A1>0, 则G1/A1 = %2|比重大的要审核|");
  EXPECT_EQ(run(), (QStringList{row.arg(QStringLiteral("R01"), QStringLiteral("12.35%")),
                                row.arg(QStringLiteral("R02"), QStringLiteral("150.00%")),
                                row.arg(QStringLiteral("R07"), QStringLiteral("0.10%")),
                                row.arg(QStringLiteral("R08"), QStringLiteral("25.00%")),
                                row.arg(QStringLiteral("R08"), QStringLiteral("50.00%"))}));
}

// The database sends the ratio with "." whatever the user's locale; a locale
// with a decimal comma must not change the reading or the text.
TEST_F(RulesRun, RatioTextIgnoresTheLocale) {
  org(QStringLiteral("L01"), QStringLiteral("单位L01"));
  const int id = report(QStringLiteral("L01"), QStringLiteral("18001500"));
  cell(id, 1, 7, QStringLiteral("123457"));
  cell(id, 1, 1, QStringLiteral("1000000"));
  QStringList stored;
  {
    const ScopedDefaultLocale german(QLocale(QLocale::German, QLocale::Germany));
    stored = run();
  }
  ASSERT_EQ(stored.size(), 1);
  EXPECT_TRUE(stored.first().contains(QStringLiteral("则G1/A1 = 12.35%|"))) << stored.first().toStdString();
}

TEST_F(RulesRun, Rule19KeepsFourDecimalsAndRule20Six) {
  org(QStringLiteral("D01"), QStringLiteral("单位D01"));
  const int id = report(QStringLiteral("D01"), QStringLiteral("18001700"));
  for (int col : {1, 2}) {
    cell(id, 15, col, QStringLiteral("7"));
    cell(id, 16, col, QStringLiteral("1"));
  }
  EXPECT_EQ(field(19, QStringLiteral("val")), QStringList{QStringLiteral("0.1429")});
  EXPECT_EQ(field(20, QStringLiteral("val")), QStringList{QStringLiteral("0.142857")});
  EXPECT_EQ(run(), (QStringList{
                       QStringLiteral("18001700|第17表|单位D01 若A15>0, 则A16/A15 = 14.29%|比重小的要审核|"),
                       QStringLiteral("18001700|第17表|单位D01 若B15>0, 则B16/B15 = 14.29%|比重小的要审核|")}));
}

TEST_F(RulesRun, Rule12SumsColumnsTwoToFourIntoVal1) {
  org(QStringLiteral("S01"), QStringLiteral("单位S01"));
  const int id = report(QStringLiteral("S01"), QStringLiteral("18000400"));
  cell(id, 19, 1, QStringLiteral("8"));
  cell(id, 19, 2, QStringLiteral("1"));
  cell(id, 19, 3, QStringLiteral("2"));
  cell(id, 19, 4, QStringLiteral("3"));
  cell(id, 19, 5, QStringLiteral("100"));  // not part of the sum
  EXPECT_EQ(field(12, QStringLiteral("val1")), QStringList{QStringLiteral("0.75")});
  EXPECT_EQ(run(), QStringList{QStringLiteral(
                       "18000400|第4表|单位S01 若A19>0, 则 (B19+C19+D19)/A19 = 75.00%|比重大的要审核|")});
}

// ---- one run over all 26 rules ----------------------------------------------

// Organisation A breaks every rule once; organisation B has reports of the
// same templates that break none.
class RulesFullRun : public RulesRun {
 protected:
  void SetUp() override {
    org(kA, QStringLiteral("甲单位"));
    org(kB, QStringLiteral("乙单位"));

    int a = report(kA, QStringLiteral("18000700"));
    for (int row : {3, 6, 9, 12, 13}) cell(a, row, 1, QStringLiteral("1"));
    int b = report(kB, QStringLiteral("18000700"));
    for (int row : {3, 6, 9, 12, 13, 14, 15, 19, 20, 21}) cell(b, row, 1, QStringLiteral("1"));

    a = report(kA, QStringLiteral("18000800"));
    b = report(kB, QStringLiteral("18000800"));
    for (int col : {1, 3, 5, 6, 7, 8}) {
      for (int id : {a, b}) {
        cell(id, 1, col, QStringLiteral("10"));
        cell(id, 2, col, QStringLiteral("10"));
        cell(id, 3, col, QStringLiteral("4"));
      }
      cell(a, 4, col, QStringLiteral("5"));
      cell(b, 4, col, QStringLiteral("4"));
    }

    // Ratio cells: B holds the same numerators over denominators of "0".
    struct Cell {
      int row, col;
      const char* val;
      bool denominator;
    };
    struct Template {
      const char* id;
      std::vector<Cell> cells;
    };
    const Template ratios[] = {
        {"18000400", {{19, 1, "8", true}, {19, 2, "1", false}, {19, 3, "2", false}, {19, 4, "3", false}}},
        {"18001500", {{1, 1, "1000000", true}, {1, 7, "123457", false}}},
        {"18001600",
         {{21, 1, "4", true}, {21, 2, "1", false}, {21, 3, "2", false}, {21, 7, "3", false},
          {21, 8, "4", false}, {21, 9, "6", false}}},
        {"18001700", {{15, 1, "3", true}, {16, 1, "1", false}, {15, 2, "8", true}, {16, 2, "1", false}}},
        {"18001800",
         {{4, 1, "10", true}, {4, 7, "1", false}, {18, 1, "10", true}, {18, 7, "2", false},
          {21, 1, "10", true}, {21, 5, "3", false}}},
        {"18001900",
         {{4, 1, "20", true}, {4, 7, "1", false}, {16, 1, "20", true}, {16, 7, "2", false},
          {18, 1, "20", true}, {18, 5, "3", false}}},
    };
    for (const Template& t : ratios) {
      const int idA = report(kA, QLatin1String(t.id));
      const int idB = report(kB, QLatin1String(t.id));
      for (const Cell& c : t.cells) {
        cell(idA, c.row, c.col, QLatin1String(c.val));
        cell(idB, c.row, c.col, c.denominator ? QStringLiteral("0") : QLatin1String(c.val));
      }
    }
  }

  static QStringList expectedRows() {
    const QString a = QStringLiteral("甲单位");
    const auto row = [](const char* rpt, const char* label, const QString& text, const char* category) {
      return QStringList{QLatin1String(rpt), QString::fromUtf8(label), text, QString::fromUtf8(category),
                         QString()}
          .join(QLatin1Char('|'));
    };
    const char* p = "不应为零(应该有数据)";
    const char* e = "校核未通过";
    const char* big = "比重大的要审核";
    const char* small = "比重小的要审核";
    return {
        row("18000700", "第7表", a + QStringLiteral(" (A2或A3或A4>0) 补充资料1-1 =0"), p),
        row("18000700", "第7表", a + QStringLiteral(" (A5或A6或A7>0) 补充资料1-2 =0"), p),
        row("18000700", "第7表", a + QStringLiteral(" (A8或A9或A10>0) 补充资料1-3 =0"), p),
        row("18000700", "第7表", a + QStringLiteral(" (A11>0) 补充资料1-4 =0"), p),
        row("18000700", "第7表", a + QStringLiteral(" (A12>0) 补充资料1-5 =0"), p),
        row("18000800", "第8表", a + QStringLiteral(" 若A1=A2，则A3=A4"), e),
        row("18000800", "第8表", a + QStringLiteral(" 若C1=C2，则C3=C4"), e),
        row("18000800", "第8表", a + QStringLiteral(" 若E1=E2，则E3=E4"), e),
        row("18000800", "第8表", a + QStringLiteral(" 若F1=F2，则F3=F4"), e),
        row("18000800", "第8表", a + QStringLiteral(" 若G1=G2，则G3=G4"), e),
        row("18000800", "第8表", a + QStringLiteral(" 若H1=H2，则H3=H4"), e),
        row("18000400", "第4表", a + QStringLiteral(" 若A19>0, 则 (B19+C19+D19)/A19 = 75.00%"), big),
        row("18001500", "第15表", a + QStringLiteral(" 若A1>0, 则G1/A1 = 12.35%"), big),
        row("18001600", "第16表", a + QStringLiteral(" 若A21>0, 则B21/A21 = 25.00%"), big),
        row("18001600", "第16表", a + QStringLiteral(" 若A21>0, 则C21/A21 = 50.00%"), big),
        row("18001600", "第16表", a + QStringLiteral(" 若A21>0, 则G21/A21 = 75.00%"), big),
        row("18001600", "第16表", a + QStringLiteral(" 若A21>0, 则H21/A21 = 100.00%"), big),
        row("18001600", "第16表", a + QStringLiteral(" 若A21>0, 则I21/A21 = 150.00%"), big),
        row("18001700", "第17表", a + QStringLiteral(" 若A15>0, 则A16/A15 = 33.33%"), small),
        row("18001700", "第17表", a + QStringLiteral(" 若B15>0, 则B16/B15 = 12.50%"), small),
        row("18001800", "第18表", a + QStringLiteral(" 若A4>0, 则G4/A4 = 10.00%"), small),
        row("18001800", "第18表", a + QStringLiteral(" 若A16>0, 则G18/A18 = 20.00%"), small),
        row("18001800", "第18表", a + QStringLiteral(" 若A19>0, 则E21/A21 = 30.00%"), big),
        row("18001900", "第19表", a + QStringLiteral(" 若A4>0, 则G4/A4 = 5.00%"), small),
        row("18001900", "第19表", a + QStringLiteral(" 若A16>0, 则G16/A16 = 10.00%"), small),
        row("18001900", "第19表", a + QStringLiteral(" 若A18>0, 则E18/A18 = 15.00%"), big),
    };
  }

  const QString kA = QStringLiteral("001.0'1");  // a quote in the code
  const QString kB = QStringLiteral("001.002");
};

TEST_F(RulesFullRun, EveryRuleReportsItsOrganisationOnce) {
  platform::db::Query qry(db.connection());
  RecordingSink sink(qry);
  sink.setMaximum(28);  // no formula problems: 0 + 28
  sink.setProgress(5);
  EXPECT_EQ(run(qry, sink, {}), expectedRows());

  // 23 steps, each followed by a pump: one after each rule, none after 14
  // to 17, two after 18. The gauge ends at its maximum.
  std::vector<int> rules;
  for (int n = 1; n <= 13; ++n) rules.push_back(n);
  rules.push_back(18);
  rules.push_back(18);
  for (int n = 19; n <= 26; ++n) rules.push_back(n);
  std::vector<int> steppedRules, values;
  int last = 5;
  for (size_t i = 0; i < sink.pumpedValues.size(); ++i) {
    if (sink.pumpedValues[i] == last) continue;
    steppedRules.push_back(sink.pumpedRules[i]);
    values.push_back(last = sink.pumpedValues[i]);
  }
  EXPECT_EQ(steppedRules, rules);
  std::vector<int> expectedValues;
  for (int v = 6; v <= 28; ++v) expectedValues.push_back(v);
  EXPECT_EQ(values, expectedValues);
  // Messages run after every rule, stepping or not, so that rules 14 to 17
  // do not run back to back with the window frozen; in rule order.
  std::vector<int> everyRule;
  for (int n = 1; n <= 26; ++n) everyRule.push_back(n);
  EXPECT_EQ(sink.rulesThatPumped(), everyRule);
}

TEST_F(RulesFullRun, ChosenOrganisationsRestrictEveryRule) {
  EXPECT_EQ(run({kA}), expectedRows());
  EXPECT_EQ(run({kB, kA}), expectedRows());
  EXPECT_EQ(run({kB}), QStringList());
  EXPECT_EQ(run({QStringLiteral("001.0")}), QStringList());  // no prefix match
}

// The choice is read once: a new choice confirmed while the run pumps
// messages does not reach the later rules.
TEST_F(RulesFullRun, ChoiceIsFixedForTheWholeRun) {
  platform::db::Query qry(db.connection());
  QStringList live{kA};
  class ChangingSink : public RecordingSink {
   public:
    ChangingSink(const platform::db::Query& q, QStringList& live) : RecordingSink(q), live_(live) {}
    void pump() override { live_ = QStringList{QStringLiteral("x"), QStringLiteral("y")}; }

   private:
    QStringList& live_;
  } sink(qry, live);
  QStringList stored;
  check::runBuiltinRules(
      qry, live,
      [&stored](const QString&, const QString&, const QString& text, const QString&, const QString&) {
        stored << text;
      },
      sink);
  EXPECT_EQ(stored.size(), 26);
  EXPECT_EQ(qry.sql(), check::builtinRuleStatement(26, {kA}));
}

// ---- failures ---------------------------------------------------------------

// A rule the database refuses ends the phase: the rows and steps of the rules
// before it are kept, nothing of the later ones happens.
TEST_F(RulesFullRun, RefusedRuleStopsThePhase) {
  db.exec(QStringLiteral("update rptreportdata set val = 'abc' where row = 4 and col = 1 and reportid in "
                         "(select reportid from rptreport where temid = '18000800')"));
  platform::db::Query qry(db.connection());
  RecordingSink sink(qry);
  QStringList stored;
  // The database's refusal, named after the rule that met it.
  try {
    runInto(qry, sink, {}, stored);
    ADD_FAILURE() << "ran to the end";
  } catch (const check::RunError& e) {
    EXPECT_EQ(e.where(), QStringLiteral("内置规则第6条（第8表）"));
    EXPECT_TRUE(e.cause().contains(QStringLiteral("abc"))) << e.what();
    EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith(
        QStringLiteral("校核失败，出错位置：内置规则第6条（第8表）\n")));
  }
  EXPECT_EQ(stored, expectedRows().mid(0, 5));
  EXPECT_EQ(sink.rulesThatPumped(), (std::vector<int>{1, 2, 3, 4, 5}));
}

// A ratio the program cannot read as a number ends the phase as well.
TEST_F(RulesFullRun, RatioThatIsNoNumberStopsThePhase) {
  db.exec(QStringLiteral("update rptreportdata set val = 'NaN' where row = 1 and col = 7 and reportid in "
                         "(select reportid from rptreport where temid = '18001500')"));
  platform::db::Query qry(db.connection());
  RecordingSink sink(qry);
  QStringList stored;
  try {
    runInto(qry, sink, {}, stored);
    ADD_FAILURE() << "ran to the end";
  } catch (const check::RunError& e) {
    EXPECT_EQ(e.where(), QStringLiteral("内置规则第13条（第15表）"));
    EXPECT_TRUE(e.cause().contains(QStringLiteral("NaN"))) << e.what();
  }
  EXPECT_EQ(stored, expectedRows().mid(0, 12));
  EXPECT_EQ(sink.rulesThatPumped().size(), 12u);
}

}  // namespace
