// The check command through the main window: a click on the check picture on
// the demo database, failures of the preparation and of the run, refused
// problem rows, and the organisation choice read once per run.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/TPicture.h"
#include "app/UCheckEdit.h"
#include "cell/Sheet.h"
#include "cell/SheetView.h"
#include "cell/TCell.h"
#include "check/BuiltinRules.h"
#include "app/uProgressBar.h"
#include "tests/check/CheckFixture.h"
#include "tests/support/GoldenSql.h"
#include "tests/support/QStringPrint.h"
#include "tests/support/MainWindowTest.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

struct Pump {
  QString message;
  int maximum, progress;
};

class CheckCommand : public MainWindowTest {
 protected:
  explicit CheckCommand(TestDatabase::Content content = TestDatabase::Content::Empty,
                        const QString& driver = kUnicodeDriver)
      : MainWindowTest(content, driver) {}

  void SetUp() override {
    MainWindowTest::SetUp();
    ProgressWindow::setObserver([this](const TFmProgressBar& p) {
      pumps.push_back({p.LabInfo->text(), p.Gauge1->maxValue(), p.Gauge1->progress()});
      if (onPump) onPump(pumps.back());
    });
  }
  void TearDown() override { ProgressWindow::setObserver(nullptr); }

  QString rowText(int row) {
    QStringList cells;
    for (int c = 1; c <= 3; ++c) cells << sheet().text(c, row);
    return cells.join(QLatin1Char('|'));
  }
  // The problem rows of the register (between the header and the signature).
  QStringList registerRows() {
    QStringList out;
    for (int r = 3; r < sheet().rowCount() - 1; ++r) out << rowText(r);
    return out;
  }
  static int progressWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<TFmProgressBar*>(w)) ++n;
    return n;
  }

  std::vector<Pump> pumps;
  std::function<void(const Pump&)> onPump;
};

class DemoCheckCommand : public CheckCommand {
 protected:
  DemoCheckCommand() : CheckCommand(TestDatabase::Content::Demo) {}
};

// The demo check under each build of the ODBC driver.
class DemoCheckDrivers : public CheckCommand, public ::testing::WithParamInterface<QString> {
 protected:
  DemoCheckDrivers() : CheckCommand(TestDatabase::Content::Demo, GetParam()) {}
};

// The 26 built-in rules as the register shows them.
struct RuleRow {
  int number;
  const char* label;
  const char* category;
  const char* text;
  bool ratio;
};
const RuleRow kRules[] = {
    {1, "第7表", "不应为零(应该有数据)", " (A2或A3或A4>0) 补充资料1-1 =0", false},
    {2, "第7表", "不应为零(应该有数据)", " (A5或A6或A7>0) 补充资料1-2 =0", false},
    {3, "第7表", "不应为零(应该有数据)", " (A8或A9或A10>0) 补充资料1-3 =0", false},
    {4, "第7表", "不应为零(应该有数据)", " (A11>0) 补充资料1-4 =0", false},
    {5, "第7表", "不应为零(应该有数据)", " (A12>0) 补充资料1-5 =0", false},
    {6, "第8表", "校核未通过", " 若A1=A2，则A3=A4", false},
    {7, "第8表", "校核未通过", " 若C1=C2，则C3=C4", false},
    {8, "第8表", "校核未通过", " 若E1=E2，则E3=E4", false},
    {9, "第8表", "校核未通过", " 若F1=F2，则F3=F4", false},
    {10, "第8表", "校核未通过", " 若G1=G2，则G3=G4", false},
    {11, "第8表", "校核未通过", " 若H1=H2，则H3=H4", false},
    {12, "第4表", "比重大的要审核", " 若A19>0, 则 (B19+C19+D19)/A19 = ", true},
    {13, "第15表", "比重大的要审核", " 若A1>0, 则G1/A1 = ", true},
    {14, "第16表", "比重大的要审核", " 若A21>0, 则B21/A21 = ", true},
    {15, "第16表", "比重大的要审核", " 若A21>0, 则C21/A21 = ", true},
    {16, "第16表", "比重大的要审核", " 若A21>0, 则G21/A21 = ", true},
    {17, "第16表", "比重大的要审核", " 若A21>0, 则H21/A21 = ", true},
    {18, "第16表", "比重大的要审核", " 若A21>0, 则I21/A21 = ", true},
    {19, "第17表", "比重小的要审核", " 若A15>0, 则A16/A15 = ", true},
    {20, "第17表", "比重小的要审核", " 若B15>0, 则B16/B15 = ", true},
    {21, "第18表", "比重小的要审核", " 若A4>0, 则G4/A4 = ", true},
    {22, "第18表", "比重小的要审核", " 若A16>0, 则G18/A18 = ", true},
    {23, "第18表", "比重大的要审核", " 若A19>0, 则E21/A21 = ", true},
    {24, "第19表", "比重小的要审核", " 若A4>0, 则G4/A4 = ", true},
    {25, "第19表", "比重小的要审核", " 若A16>0, 则G16/A16 = ", true},
    {26, "第19表", "比重大的要审核", " 若A18>0, 则E18/A18 = ", true},
};

}  // namespace

TEST_P(DemoCheckDrivers, ClickListsTheDemoProblems) {
  EXPECT_EQ(window->connection().wideText(), GetParam() == kUnicodeDriver);
  StatementLog log(window->connection());
  window->picture("imgJH")->click();

  EXPECT_TRUE(dialogs.calls.empty()) << dialogs.calls.front().text.toStdString();
  EXPECT_EQ(progressWindows(), 0);
  EXPECT_TRUE(window->picture("imgJH")->isEnabled());

  // Both progress windows, in order; the run's gauge ends at its maximum.
  ASSERT_FALSE(pumps.empty());
  EXPECT_EQ(pumps.front().message, "正在解析校核公式");
  EXPECT_EQ(pumps.back().message, "正在进行校核...");
  EXPECT_EQ(pumps.back().progress, pumps.back().maximum);
  EXPECT_EQ(pumps.back().maximum, 28);  // the database's own formulas pair with no element
  EXPECT_TRUE(log.sent.contains(golden::formulaStatement(QString())));

  // The register: every stored problem, then the signature row.
  const QStringList rows = registerRows();
  EXPECT_EQ(rows.size(), db.column("SELECT COUNT(*) FROM TMP_CONTENT").front().toInt());
  EXPECT_GT(rows.size(), 26);
  EXPECT_TRUE(sheet().text(1, sheet().rowCount() - 1).startsWith("审核人签名"));
  EXPECT_EQ(sheet().text(1, 1), "2016年党内统计年报表审核情况登记表");

  // The first three organisations of the demo data break rule r exactly when
  // (organisation number + r) is a multiple of 3.
  const char* names[] = {"东川市委", "西山市委", "南湖市委"};
  for (int org = 0; org < 3; ++org) {
    for (const RuleRow& rule : kRules) {
      const QString head = QStringLiteral("%1|%2%3").arg(rule.label, names[org], rule.text);
      int found = 0;
      const QString tail = QStringLiteral("|") + QString::fromUtf8(rule.category);
      for (const QString& row : rows) {
        if (!row.startsWith(head) || !row.endsWith(tail)) continue;
        const QString rest = row.mid(head.size()).chopped(tail.size());
        const bool shape = rule.ratio ? QRegularExpression("^-?\\d+\\.\\d\\d%$").match(rest).hasMatch()
                                      : rest.isEmpty();
        if (shape) ++found;
      }
      EXPECT_EQ(found, (org + rule.number) % 3 == 0 ? 1 : 0)
          << names[org] << " rule " << rule.number;
    }
  }

  // A second check starts from empty tables: the same register again.
  window->picture("imgJH")->click();
  EXPECT_EQ(registerRows(), rows);
}

INSTANTIATE_TEST_SUITE_P(Drivers, DemoCheckDrivers, ::testing::ValuesIn(kOdbcDrivers), testsupport::driverName);

// A second check leaves the register's current cell where the first check
// of a freshly started program leaves it: on the first problem row, unframed,
// with the view at the top, wherever the user had moved it (the last row,
// the title).
TEST_F(DemoCheckCommand, ASecondCheckPutsTheCurrentCellWhereTheFirstDid) {
  auto* view = window->cell().findChild<cell::SheetView*>();
  ASSERT_NE(view, nullptr);
  window->picture("imgJH")->click();
  const std::pair<int, int> fresh = view->currentCell();
  EXPECT_EQ(fresh, std::make_pair(1, 3));
  const auto press = [view](int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(view, &event);
  };
  const std::vector<std::vector<std::pair<int, Qt::KeyboardModifiers>>> moves = {
      {{Qt::Key_End, Qt::ControlModifier}},
      {{Qt::Key_Home, Qt::ControlModifier}, {Qt::Key_Up, Qt::NoModifier}, {Qt::Key_Up, Qt::NoModifier}},
  };
  for (const auto& keys : moves) {
    for (const auto& [key, modifiers] : keys) press(key, modifiers);
    ASSERT_NE(view->currentCell(), fresh);
    window->picture("imgJH")->click();
    EXPECT_EQ(view->currentCell(), fresh);
    EXPECT_EQ(view->verticalScrollBar()->value(), 0);
  }
}

TEST_F(DemoCheckCommand, OrganisationChoiceIsReadOnceForTheRun) {
  window->selectedOrgCodes() = QStringList{"001", "002"};
  // A different choice confirmed while the run pumps messages.
  onPump = [this](const Pump& p) {
    if (p.message == "正在进行校核...") window->selectedOrgCodes() = QStringList{"003"};
  };
  StatementLog log(window->connection());
  window->picture("imgJH")->click();
  EXPECT_TRUE(dialogs.calls.empty());

  QStringList selects;
  for (const QString& s : log.sent)
    if (s.startsWith("select a.temid") || s.startsWith("select * from (select a.temid") ||
        s.startsWith("SELECT I_CHECKTYPE"))
      selects << s;
  QStringList expected{golden::formulaStatement(" and D0107 IN ( '001','002','1')")};
  for (int n = 1; n <= 26; ++n) expected << check::builtinRuleStatement(n, {"001", "002"});
  EXPECT_EQ(selects, expected);
  for (const QString& row : registerRows())
    EXPECT_TRUE(row.contains("东川市委") || row.contains("西山市委")) << row.toStdString();
}

TEST_F(CheckCommand, FailingPreparationShowsTheErrorAndRunsNoCheck) {
  db.exec("DROP TABLE RPTFORMULA");
  StatementLog log(window->connection());
  window->picture("imgJH")->click();
  ASSERT_EQ(dialogs.texts(DialogCall::Failure).size(), 1u);
  EXPECT_TRUE(dialogs.texts(DialogCall::Failure)[0].contains("rptformula", Qt::CaseInsensitive));
  EXPECT_FALSE(log.sent.contains(golden::formulaStatement(QString())));
  EXPECT_EQ(progressWindows(), 0);
  EXPECT_TRUE(window->picture("imgJH")->isEnabled());
}

TEST_F(CheckCommand, FailingFormulaQueryShowsItsMessageAndLeavesTheEmptyRegister) {
  window->PrepareCheckTables();
  Fixture f(db);
  f.org("001", "甲");
  const int r = f.report("18000700", "001");
  f.cell(r, 1, 1, "abc");  // not an integer: the database refuses the sum
  f.formula({.id = "x", .describe = "$D"});
  f.element("x", 0, 1, "18000700", 1, 1);
  StatementLog log(window->connection());
  window->RunChecks();
  ASSERT_EQ(dialogs.texts(DialogCall::Failure).size(), 1u);
  EXPECT_TRUE(dialogs.texts(DialogCall::Failure)[0].contains("abc")) << dialogs.calls[0].text.toStdString();
  EXPECT_EQ(log.sent, QStringList{golden::formulaStatement(QString())});  // no rule ran
  EXPECT_EQ(sheet().rowCount(), 3);
  EXPECT_EQ(progressWindows(), 0);
}

TEST_F(CheckCommand, FailingProblemTextKeepsTheRowsStoredBefore) {
  window->PrepareCheckTables();
  Fixture f(db);
  f.org("001", "甲");
  f.org("002", "乙");
  // Both sums 0: "<" fails everywhere. The first breach is stored; the second
  // is an expression without a relation.
  f.formula({.id = "ok", .describe = "$D无数据", .relate = 0, .scope = "001", .scopeCode = 2});
  f.formula({.id = "bad", .checkType = 3, .describe = "R1C1", .relate = 0, .scope = "002", .scopeCode = 2});
  for (const char* id : {"ok", "bad"}) f.element(id, 0, 1, "18000700", 1, 1);
  window->RunChecks();
  ASSERT_EQ(dialogs.texts(DialogCall::Failure).size(), 1u);
  EXPECT_TRUE(dialogs.texts(DialogCall::Failure)[0].contains("R1C1"));
  EXPECT_EQ(db.column("SELECT CONTENTSCR FROM TMP_CONTENT"), QStringList{"甲无数据"});
  EXPECT_EQ(sheet().rowCount(), 3);
  EXPECT_EQ(progressWindows(), 0);
}

TEST_F(CheckCommand, RefusedProblemRowIsReportedAndTheRunGoesOn) {
  window->PrepareCheckTables();
  Fixture f(db);
  f.org("001", "甲");
  // A template id longer than RPTID's 10 characters makes its INSERT fail.
  f.formula({.id = "long", .describe = "$D长", .relate = 0, .templateId = "18000700000"});
  f.formula({.id = "ok", .describe = "$D短", .relate = 0});
  for (const char* id : {"long", "ok"}) f.element(id, 0, 1, "18000700", 1, 1);
  window->RunChecks();
  const std::vector<QString> plain = dialogs.texts(DialogCall::Plain);
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_TRUE(plain[0].startsWith("SQL已异常: insert into TMP_CONTENT (id,RPTID,RPTSCR,CONTENTSCR,"
                                  "CONTENTTYPE,CONTENTREVERT) values ("));
  EXPECT_TRUE(plain[0].endsWith(",'18000700000','第70表','甲长','不应为零(应该有数据)','')"));
  EXPECT_TRUE(dialogs.texts(DialogCall::Failure).empty());
  EXPECT_EQ(registerRows(), QStringList{"第7表|甲短|不应为零(应该有数据)"});
}

// Five breaches of one organisation, whose problem rows go in one batch; the
// third row's template id is too long for RPTID.
class BatchedRows : public CheckCommand {
 protected:
  void SetUp() override {
    CheckCommand::SetUp();
    window->PrepareCheckTables();
    Fixture f(db);
    f.org("001", "甲");
    const char* templates[] = {"18000400", "18000700", "18000700000", "18001500", "18000800"};
    const char* texts[] = {"一", "二", "三", "四", "五"};
    for (int i = 0; i < 5; ++i) {
      const QString id = QStringLiteral("f%1").arg(i);
      f.formula({.id = id, .describe = QStringLiteral("$D") + texts[i], .relate = 0, .templateId = templates[i]});
      f.element(id, 0, 1, "18000700", 1, 1);
    }
  }
};

TEST_F(BatchedRows, RefusedRowInTheMiddleIsReportedAloneAndTheOthersListed) {
  StatementLog log(window->connection());
  window->RunChecks();
  const std::vector<QString> plain = dialogs.texts(DialogCall::Plain);
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_TRUE(plain[0].startsWith("SQL已异常: insert into TMP_CONTENT (id,RPTID,RPTSCR,CONTENTSCR,"
                                  "CONTENTTYPE,CONTENTREVERT) values ('"));
  EXPECT_TRUE(plain[0].endsWith("','18000700000','第70表','甲三','不应为零(应该有数据)','')"));
  EXPECT_EQ(plain[0].count(QStringLiteral("),(")), 0);  // the row's own statement
  EXPECT_TRUE(dialogs.texts(DialogCall::Failure).empty());
  // As row by row: the other four in register order.
  EXPECT_EQ(registerRows(), (QStringList{"第4表|甲一|不应为零(应该有数据)", "第7表|甲二|不应为零(应该有数据)",
                                         "第8表|甲五|不应为零(应该有数据)", "第15表|甲四|不应为零(应该有数据)"}));
  // One INSERT of five rows, then the five again one by one.
  QStringList inserts;
  for (const QString& s : log.sent)
    if (s.startsWith("insert into TMP_CONTENT")) inserts << s;
  ASSERT_EQ(inserts.size(), 6);
  EXPECT_EQ(inserts[0].count(QStringLiteral("),(")), 4);
  EXPECT_EQ(pumps.back().progress, pumps.back().maximum);
}

TEST_F(BatchedRows, LostConnectionEndsTheRunWithoutRetries) {
  platform::db::Query q(window->connection());
  q.setSql("SELECT pg_backend_pid()");
  q.open();
  const QString pid = q.value(0);
  QStringList sent;
  window->connection().setStatementObserver([&](const QString& sql) {
    sent << sql;
    if (sql.startsWith("insert into TMP_CONTENT"))
      db.exec(QStringLiteral("SELECT pg_terminate_backend(%1, 5000)").arg(pid));
  });
  window->RunChecks();
  window->connection().setStatementObserver(nullptr);
  ASSERT_FALSE(sent.isEmpty());
  EXPECT_TRUE(sent.back().startsWith("insert into TMP_CONTENT"));  // nothing after the batch
  EXPECT_EQ(sent.filter(QRegularExpression("^insert into TMP_CONTENT")).size(), 1);
  EXPECT_TRUE(dialogs.texts(DialogCall::Plain).empty());  // no "SQL已异常" per row
  EXPECT_EQ(dialogs.texts(DialogCall::Failure).size(), 1u);
  EXPECT_EQ(sheet().rowCount(), 3);
  EXPECT_EQ(progressWindows(), 0);
}
