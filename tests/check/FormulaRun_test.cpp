// The formula check run against the test cluster: relations, scopes,
// exclusions, sums, the statements sent and the gauge.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "check/FormulaCheck.h"
#include "check/ProblemStore.h"
#include "tests/check/CheckFixture.h"
#include "tests/support/GoldenSql.h"
#include "tests/support/QStringPrint.h"

namespace {

struct Problem {
  QString rptId, label, text, category;
};

// Runs the formula part (no built-in rules) and returns what it stored.
std::vector<Problem> runFormulas(TestDatabase& db, const QStringList& orgCodes = {},
                                 RecordingProgress* progressOut = nullptr) {
  platform::db::Query qry(db.connection());
  RecordingProgress local;
  RecordingProgress& progress = progressOut ? *progressOut : local;
  check::startCheckProgress(progress);
  std::vector<Problem> stored;
  check::runFormulaChecks(
      qry, orgCodes,
      [&stored](const QString& rptId, const QString& label, const QString& text,
                const QString& category, const QString&) {
        stored.push_back({rptId, label, text, category});
      },
      progress, nullptr, nullptr);
  return stored;
}

// formula id -> organisation names reported for it ("$D|id" descriptions).
std::map<QString, std::set<QString>> byFormula(const std::vector<Problem>& problems) {
  std::map<QString, std::set<QString>> out;
  for (const Problem& p : problems) {
    const QStringList parts = p.text.split('|');
    out[parts.value(1)].insert(parts.value(0));
  }
  return out;
}

}  // namespace

TEST(FormulaRun, RelationCodesReportTheBreaches) {
  TestDatabase db;
  Fixture f(db);
  f.workingTables();
  // Left sum is row 1, right sum row 2 of column 1.
  const struct {
    const char* org;
    const char* left;
    const char* right;
  } orgs[] = {{"lt", "1", "2"}, {"eq", "2", "2"}, {"gt", "3", "2"}};
  int n = 0;
  for (const auto& o : orgs) {
    const QString code = QStringLiteral("001.%1").arg(++n, 3, 10, QLatin1Char('0'));
    f.org(code, o.org);
    const int r = f.report("18000700", code);
    f.cell(r, 1, 1, o.left);
    f.cell(r, 2, 1, o.right);
  }
  for (int relate = 0; relate <= 6; ++relate) {
    const QString id = QStringLiteral("rel%1").arg(relate);
    f.formula({.id = id, .describe = "$D|" + id, .relate = relate});
    f.element(id, 0, 1, "18000700", 1, 1);
    f.element(id, 1, 1, "18000700", 2, 1);
  }
  using S = std::set<QString>;
  EXPECT_EQ(byFormula(runFormulas(db)), (std::map<QString, S>{{"rel0", S{"eq", "gt"}},
                                                               {"rel1", S{"gt"}},
                                                               {"rel2", S{"lt", "gt"}},
                                                               {"rel3", S{"lt"}},
                                                               {"rel4", S{"lt", "eq"}}}));
}

TEST(FormulaRun, ScopesAndExclusions) {
  TestDatabase db;
  Fixture f(db);
  f.workingTables();
  f.org("001.001", "A");
  f.org("001.001.001", "B");
  f.org("001.001.002", "C");
  f.org("001.001.002.001", "D");  // its first 11 characters are C's code
  f.org("001.002", "E");
  const struct {
    const char* id;
    const char* scope;
    int code;
    const char* except1;
    const char* except2;
  } formulas[] = {
      {"lt", "001.001.002", 0, "", ""},  {"le", "001.001.002", 1, "", ""},
      {"eq", "001.001.002", 2, "", ""},  {"ge", "001.001.002", 3, "", ""},
      {"gt", "001.001.002", 4, "", ""},  {"level10", "x", 10, "", ""},
      {"level12", "x", 12, "", ""},      {"emptyScope", "", 10, "", ""},
      {"all", "", 99999, "", ""},        {"none", "001", 99999, "", ""},
      {"except", "", 99999, "001.001.002", "001.001"},
  };
  for (const auto& s : formulas) {
    // No report anywhere: both sums are 0, and "<" fails for every organisation in scope.
    f.formula({.id = s.id, .describe = QStringLiteral("$D|") + s.id, .relate = 0, .scope = s.scope,
               .scopeCode = s.code, .except1 = s.except1, .except2 = s.except2});
    f.element(s.id, 0, 1, "18000700", 1, 1);
    f.element(s.id, 1, 1, "18000700", 2, 1);
  }
  using S = std::set<QString>;
  EXPECT_EQ(byFormula(runFormulas(db)),
            (std::map<QString, S>{{"lt", S{"A", "B"}},
                                  {"le", S{"A", "B", "C", "D"}},
                                  {"eq", S{"C", "D"}},
                                  {"ge", S{"C", "D", "E"}},
                                  {"gt", S{"E"}},
                                  {"level10", S{"A", "E"}},
                                  {"level12", S{"D"}},
                                  {"emptyScope", S{"A", "B", "C", "D", "E"}},
                                  {"all", S{"A", "B", "C", "D", "E"}},
                                  {"except", S{"B", "E"}}}));
}

TEST(FormulaRun, WeightedSumsMissingCellsAndPeriods) {
  TestDatabase db;
  Fixture f(db);
  f.workingTables();
  // left = row 1 - row 2 of template 18000700 for 2016 (a 2015 report of the
  // same template is ignored); right = row 3 (NULL weight) of template
  // 18000400 + row 4 (a missing cell).
  f.formula({.id = "sum", .describe = "$D|sum|$V 左", .relate = 2});
  f.element("sum", 0, 1, "18000700", 1, 1);
  f.element("sum", 0, 2, "18000700", 2, 1, "-1");
  f.element("sum", 1, 1, "18000400", 3, 1, "");
  f.element("sum", 1, 2, "18000400", 4, 1);
  const struct {
    const char* code;
    const char* name;
    const char* right;
  } orgs[] = {{"001.001", "P", "7"}, {"001.002", "Q", "8"}, {"001.003", "R", "-7"}};
  for (const auto& o : orgs) {
    f.org(o.code, o.name);
    const int a = f.report("18000700", o.code);
    f.cell(a, 1, 1, "10");
    f.cell(a, 2, 1, "3");
    const int b = f.report("18000400", o.code);
    f.cell(b, 3, 1, o.right);
    const int old = f.report("18000700", o.code, "20150101", "20151231");
    f.cell(old, 1, 1, "1000");
  }
  f.org("001.004", "S");  // no report at all: 0 = 0
  const std::vector<Problem> stored = runFormulas(db);
  ASSERT_EQ(stored.size(), 2u);
  // The tail is the category and the value is the left sum (10 - 3).
  EXPECT_EQ(stored[0].text, "Q|sum|7");
  EXPECT_EQ(stored[0].category, "左");
  EXPECT_EQ(stored[0].label, "第7表");
  EXPECT_EQ(stored[1].text, "R|sum|7");
}

TEST(FormulaRun, ValueRowsThroughTheDatabase) {
  TestDatabase db;
  Fixture f(db);
  f.workingTables();
  f.formula({.id = "v", .describe = "$D增幅$V", .relate = 2});
  f.element("v", 0, 1, "18000700", 1, 1);
  f.element("v", 1, 1, "18000700", 2, 1);
  const struct {
    const char* code;
    const char* left;
    const char* right;
  } orgs[] = {{"001.001", "150", "100"}, {"001.002", "1", "3"}, {"001.003", "5", "0"}};
  for (const auto& o : orgs) {
    f.org(o.code, o.code);
    const int r = f.report("18000700", o.code);
    f.cell(r, 1, 1, o.left);
    f.cell(r, 2, 1, o.right);
  }
  const std::vector<Problem> stored = runFormulas(db);
  ASSERT_EQ(stored.size(), 2u);  // right sum 0: no row
  EXPECT_EQ(stored[0].text, "001.001增幅50.00%");
  EXPECT_EQ(stored[0].category, "需要审核");
  EXPECT_EQ(stored[1].text, "001.002增幅-66.67%");
}

TEST(FormulaRun, StatementsSentForTheOrganisationChoice) {
  TestDatabase db;
  Fixture f(db);
  f.workingTables();
  f.org("A", "甲");
  f.org("B'x", "乙");
  f.org("C", "丙");
  f.formula({.id = "all", .describe = "$D", .relate = 0});
  f.element("all", 0, 1, "18000700", 1, 1);
  const struct {
    QStringList codes;
    QString filter;
    QStringList names;
  } cases[] = {
      {{}, "", {"甲", "乙", "丙"}},
      {{"B'x"}, " AND D0107 = 'B''x'", {"乙"}},
      {{"C", "B'x"}, " and D0107 IN ( 'C','B''x','1')", {"乙", "丙"}},
  };
  for (const auto& c : cases) {
    StatementLog log(db.connection());
    QStringList names;
    for (const Problem& p : runFormulas(db, c.codes)) names << p.text;
    EXPECT_EQ(log.sent, QStringList{golden::formulaStatement(c.filter)});
    EXPECT_EQ(names, c.names);  // ordered by organisation code
  }
}

TEST(FormulaRun, GaugeCountsRowsAndRules) {
  TestDatabase db;
  Fixture f(db);
  f.workingTables();
  for (const char* code : {"001", "002", "003"}) f.org(code, code);
  f.formula({.id = "x", .describe = "$D", .relate = 0});
  f.element("x", 0, 1, "18000700", 1, 1);
  RecordingProgress progress;
  int ruleSteps = 0;
  platform::db::Query qry(db.connection());
  check::startCheckProgress(progress);
  bool filled = false;
  check::runFormulaChecks(
      qry, {}, [](auto&&...) {}, progress,
      [&ruleSteps](platform::db::Query&, const QStringList&, const check::StoreProblem&,
                   ProgressSink& p) {
        for (; ruleSteps < 23; ++ruleSteps) {
          p.step();
          p.pump();
        }
      },
      [&filled] { filled = true; });
  EXPECT_EQ(progress.message, "正在进行校核...");
  EXPECT_EQ(progress.maximum, 3 + 28);
  EXPECT_EQ(progress.pumped.front(), 0);
  EXPECT_EQ(std::vector<int>(progress.pumped.begin() + 1, progress.pumped.begin() + 4),
            (std::vector<int>{6, 7, 8}));
  EXPECT_EQ(progress.value, progress.maximum);
  EXPECT_TRUE(filled);

  // No breach: the maximum is 28, and the rules and the register still run.
  db.exec("DELETE FROM TMP_FORMULA");
  RecordingProgress empty;
  filled = false;
  ruleSteps = 0;
  check::startCheckProgress(empty);
  check::runFormulaChecks(
      qry, {}, [](auto&&...) {}, empty,
      [&ruleSteps](platform::db::Query&, const QStringList&, const check::StoreProblem&,
                   ProgressSink& p) {
        for (; ruleSteps < 23; ++ruleSteps) p.step();
      },
      [&filled] { filled = true; });
  EXPECT_EQ(empty.maximum, 28);
  EXPECT_EQ(empty.value, 28);
  EXPECT_TRUE(filled);
}

TEST(ProblemStore, RowsQuotesAndRefusedInserts) {
  TestDatabase db;
  Fixture f(db);
  f.workingTables();
  QStringList refused;
  auto report = [&refused](const QString& message) { refused << message; };
  platform::db::Query qry(db.connection());
  check::storeProblem(qry, "18000700", "第7表", "O'Neil's \"text\"", "类别", "", report);
  // RPTID holds 10 characters: the database refuses, the call returns.
  StatementLog log(db.connection());
  check::storeProblem(qry, "18000700000", "第7表", "too long", "类别", "", report);
  check::storeProblem(qry, "18000400", "第4表", "next", "类别", "", report);
  ASSERT_EQ(refused.size(), 1);
  EXPECT_EQ(refused[0], "SQL已异常: " + log.sent[0]);
  EXPECT_TRUE(log.sent[0].startsWith(
      "insert into TMP_CONTENT (id,RPTID,RPTSCR,CONTENTSCR,CONTENTTYPE,CONTENTREVERT) values ('"));
  EXPECT_TRUE(log.sent[0].endsWith("','18000700000','第7表','too long','类别','')"));
  EXPECT_EQ(db.rows("SELECT RPTID, RPTSCR, CONTENTSCR, CONTENTTYPE, CONTENTREVERT FROM TMP_CONTENT "
                    "ORDER BY RPTID"),
            (QStringList{"18000400|第4表|next|类别|", "18000700|第7表|O'Neil's \"text\"|类别|"}));
  for (const QString& id : db.column("SELECT id FROM TMP_CONTENT")) EXPECT_EQ(id.size(), 36);
}
