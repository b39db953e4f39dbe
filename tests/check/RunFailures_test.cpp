// A check that fails stops once and clearly: a lost connection ends the
// command with one message, keeps the rows stored so far and is reopened by
// the next command; any other failure of the run names the step it met.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/TPicture.h"
#include "app/Texts.h"
#include "app/UCheckEdit.h"
#include "app/uProgressBar.h"
#include "cell/Sheet.h"
#include "cell/TCell.h"
#include "tests/check/CheckFixture.h"
#include "tests/support/MainWindowTest.h"
#include "tests/support/QStringPrint.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TcpProxy.h"

namespace {

const QString kDemoRules = QStringLiteral(RC_DEMO_RULE_DIR);

// One pump of a progress window: its message, its gauge, and how many pumps
// of the same message came before it in this command.
struct Pump {
  QString message;
  int progress, maximum, index;
};

class RunFailure : public MainWindowTest {
 protected:
  explicit RunFailure(TestDatabase::Content content = TestDatabase::Content::Empty)
      : MainWindowTest(content) {}

  void SetUp() override {
    MainWindowTest::SetUp();
    ProgressWindow::setObserver([this](const TFmProgressBar& p) {
      const QString message = p.LabInfo->text();
      index_ = message == lastMessage_ ? index_ + 1 : 0;
      lastMessage_ = message;
      if (onPump) onPump({message, p.Gauge1->progress(), p.Gauge1->maxValue(), index_});
    });
  }
  void TearDown() override { ProgressWindow::setObserver(nullptr); }

  int storedRows() {
    const QStringList n = db.column(
        "SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = 'TMP_CONTENT'");
    if (n.front() == "0") return -1;
    return db.column("SELECT COUNT(*) FROM TMP_CONTENT").front().toInt();
  }
  static int progressWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<TFmProgressBar*>(w)) ++n;
    return n;
  }
  // Clicks the check picture; returns the one failure message it showed
  // (empty when none) and expects no other message.
  QString checkFailure() {
    dialogs.calls.clear();
    window->picture("imgJH")->click();
    EXPECT_EQ(progressWindows(), 0);
    EXPECT_TRUE(window->picture("imgJH")->isEnabled());
    const std::vector<QString> failures = dialogs.texts(DialogCall::Failure);
    EXPECT_EQ(dialogs.calls.size(), failures.size()) << dialogs.calls.front().text.toStdString();
    EXPECT_LE(failures.size(), 1u);
    return failures.empty() ? QString() : failures.front();
  }
  // The problem rows of the register (between the header and the signature).
  int registerRows() { return sheet().rowCount() > 3 ? sheet().rowCount() - 4 : 0; }

  std::function<void(const Pump&)> onPump;

 private:
  QString lastMessage_;
  int index_ = 0;
};

// The demo database with the demo rule files beside the program: formula
// breaches and built-in rule rows by the hundred.
class DemoRunFailure : public RunFailure {
 protected:
  DemoRunFailure() : RunFailure(TestDatabase::Content::Demo) {}
  void prepare() override {
    ASSERT_TRUE(QDir(dir.path()).mkdir("2016XML"));
    for (int n = 11; n <= 14; ++n) {
      const QString name = QStringLiteral("/checkRuler_%1.xml").arg(n);
      ASSERT_TRUE(QFile::copy(kDemoRules + name, dir.path() + "/2016XML" + name));
    }
  }
};

TEST_F(DemoRunFailure, LostConnectionEndsTheCheckOnceAndTheNextCheckReconnects) {
  const QString parsing = QStringLiteral("正在解析校核公式");
  const QString checking = QStringLiteral("正在进行校核...");
  const struct {
    const char* moment;
    std::function<bool(const Pump&)> at;
    bool runStarted;
    bool batchSent;  // a batch of the run's problem rows reached the table before the loss
  } cases[] = {
      // After the working tables and the database's rules, before the rule files.
      {"before the rule files", [&](const Pump& p) { return p.message == parsing && p.index == 5; },
       false, false},
      {"during the problem rows of the formulas",
       [&](const Pump& p) { return p.message == checking && p.index == 3; }, true, false},
      {"during the built-in rules",
       [&](const Pump& p) { return p.message == checking && p.progress == p.maximum - 8; }, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.moment);
    bool killed = false;
    int storedAtKill = -2;
    onPump = [&](const Pump& p) {
      if (killed || !c.at(p)) return;
      db.terminateSession(window->connection());
      killed = true;
      storedAtKill = storedRows();
    };
    const QString failure = checkFailure();
    onPump = nullptr;
    ASSERT_TRUE(killed);
    EXPECT_TRUE(failure.startsWith(texts::kConnectionLost + "\n")) << failure.toStdString();
    EXPECT_TRUE(failure.contains("terminating connection")) << failure.toStdString();
    // Nothing stored after the loss, nothing stored before it lost.
    EXPECT_EQ(storedRows(), storedAtKill);
    if (c.runStarted) {
      // The run's rows go in batches of a thousand: early in the formula rows
      // none has been sent, and the batch under way is not sent again.
      EXPECT_EQ(storedAtKill > 0, c.batchSent);
      EXPECT_EQ(sheet().rowCount(), 3);  // title and header rows
    }
    EXPECT_TRUE(window->connection().lost());

    // The next check reopens the connection and runs to the end.
    EXPECT_EQ(checkFailure(), QString());
    EXPECT_FALSE(window->connection().lost());
    EXPECT_GT(storedRows(), storedAtKill);
    EXPECT_EQ(registerRows(), storedRows());
  }
}

TEST_F(RunFailure, SessionEndedWhileIdleIsReopenedBeforeTheNextCheck) {
  db.terminateSession(window->connection());
  EXPECT_EQ(checkFailure(), QString());
  EXPECT_EQ(registerRows(), 0);
  EXPECT_EQ(storedRows(), 0);
}

// The server itself ends a session that sat idle past its role's
// idle_session_timeout (SQLSTATE 57P05): the check that follows reopens it
// and runs without a word.
TEST_F(RunFailure, SessionEndedByTheIdleTimeoutIsReopenedBeforeTheNextCheck) {
  const QString role = db.name() + QStringLiteral("_idle");
  db.adminExec(QStringLiteral("CREATE ROLE %1 LOGIN SUPERUSER PASSWORD 'pw'").arg(role));
  db.adminExec(QStringLiteral("ALTER ROLE %1 SET idle_session_timeout = '1s'").arg(role));
  {
    QTemporaryDir idleDir;
    DatabaseSettings s = db.settings();
    s.LogId = role;
    s.Password = QStringLiteral("pw");
    TestDatabase::writeStatisticsIni(idleDir.path(), s);
    TFmCheckEdit idle(idleDir.path());
    ASSERT_TRUE(idle.dbConnected());
    idle.show();
    for (int check = 0; check < 2; ++check) {
      SCOPED_TRACE(check);
      QThread::msleep(2500);  // the server ends the session meanwhile
      dialogs.calls.clear();
      idle.picture("imgJH")->click();
      EXPECT_TRUE(dialogs.calls.empty()) << dialogs.calls.front().text.toStdString();
      EXPECT_FALSE(idle.connection().lost());
      EXPECT_EQ(storedRows(), 0);  // the check made its tables and found nothing
    }
  }
  db.exec(QStringLiteral("DROP OWNED BY %1").arg(role));
  db.adminExec(QStringLiteral("DROP ROLE %1").arg(role));
}

TEST_F(RunFailure, UnreachableDatabaseGivesOneMessageAndTheNextCheckTriesAgain) {
  db.adminExec("ALTER DATABASE " + db.name() + " ALLOW_CONNECTIONS false");
  db.terminateSession(window->connection());
  const QString failure = checkFailure();
  EXPECT_TRUE(failure.startsWith(texts::kReconnectFailed + "\n")) << failure.toStdString();
  EXPECT_EQ(storedRows(), -1);  // no statement of the check was sent

  db.adminExec("ALTER DATABASE " + db.name() + " ALLOW_CONNECTIONS true");
  EXPECT_EQ(checkFailure(), QString());
  EXPECT_EQ(storedRows(), 0);
}

// The session is gone and the server, when the next check reopens it,
// accepts and never answers: the check gives up within the login timeout
// with the one reconnect message, and the window stays usable.
TEST_F(RunFailure, ServerThatHangsAtTheReopenGivesOneMessageWithinTheBound) {
  TcpProxy proxy(TestDatabase::port());
  QTemporaryDir proxiedDir;
  DatabaseSettings s = db.settings();
  s.Port = QString::number(proxy.port());
  TestDatabase::writeStatisticsIni(proxiedDir.path(), s);
  TFmCheckEdit proxied(proxiedDir.path());
  ASSERT_TRUE(proxied.dbConnected());
  proxied.show();
  db.terminateSession(proxied.connection());
  proxy.silence();
  dialogs.calls.clear();
  QElapsedTimer clock;
  clock.start();
  proxied.picture("imgJH")->click();
  EXPECT_LT(clock.elapsed(), 15000);
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(dialogs.calls.front().kind, DialogCall::Failure);
  EXPECT_TRUE(dialogs.calls.front().text.startsWith(texts::kReconnectFailed + "\n"))
      << dialogs.calls.front().text.toStdString();
  EXPECT_TRUE(proxied.picture("imgJH")->isEnabled());
  EXPECT_EQ(storedRows(), -1);  // no statement of the check was sent
}

TEST_F(RunFailure, SingleFileImportReopensALostSessionAndALossInItsRunEndsIt) {
  ASSERT_EQ(checkFailure(), QString());  // the working tables stand
  const QString plan = dir.filePath("plan.xml");
  {
    QFile f(plan);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<checkplan><formula id="F1" type="11"><content>$D无数据</content>
<control in="" inrelate="" out1="" out2=""/><item operator="0" expression="2016">
<element rptId="18000700" itype="0" rptDateB="20160101" rptDateE="20161231" row="1" col="1" balance="1"/>
</item></formula></checkplan>
)");
  }
  QPushButton* readXml = nullptr;
  for (QPushButton* b : window->findChildren<QPushButton*>())
    if (b->text() == "读取xml") readXml = b;
  ASSERT_NE(readXml, nullptr);

  // Ended while idle: reopened, imported, checked.
  db.terminateSession(window->connection());
  dialogs.calls.clear();
  dialogs.fileAnswers.push_back(plan);
  readXml->click();
  EXPECT_EQ(dialogs.texts(DialogCall::Information), std::vector<QString>{texts::kInsertDone});
  EXPECT_EQ(dialogs.calls.size(), 2u);  // the open dialog, then the completion
  EXPECT_EQ(db.column("SELECT COUNT(*) FROM TMP_FORMULA WHERE S_FID LIKE 'F1\\_%'"),
            QStringList{"1"});

  // Lost in the run that follows the import: one message, no completion.
  bool killed = false;
  onPump = [&](const Pump& p) {
    if (killed || p.message != "正在进行校核...") return;
    db.terminateSession(window->connection());
    killed = true;
  };
  dialogs.calls.clear();
  dialogs.fileAnswers.push_back(plan);
  readXml->click();
  onPump = nullptr;
  ASSERT_EQ(dialogs.calls.size(), 2u);  // the open dialog, then the one message
  EXPECT_EQ(dialogs.calls.back().kind, DialogCall::Failure);
  EXPECT_TRUE(dialogs.calls.back().text.startsWith(texts::kConnectionLost + "\n"));
  EXPECT_EQ(progressWindows(), 0);
  EXPECT_EQ(sheet().rowCount(), 3);
}

TEST_F(RunFailure, FailedRunNamesTheStepBeforeTheDatabaseText) {
  Fixture f(db);
  f.org("001", "甲");
  const struct {
    const char* step;
    std::function<void()> arrange;
    std::function<void(const Pump&)> onPump;
    const char* where;
    const char* cause;
  } cases[] = {
      // A formula cell that is no integer: the database refuses the sum.
      // It is written once the check has made its working tables afresh.
      {"formulas", [] {},
       [&](const Pump& p) {
         if (p.message == "正在进行校核..." && p.index == 0) {
           f.formula({.id = "x", .describe = "$D"});
           f.element("x", 0, 1, "18000799", 1, 1);
           f.cell(f.report("18000799", "001"), 1, 1, "abc");
         }
       },
       "公式校核", "abc"},
      // A ratio rule whose numerator is no number.
      {"rule 13",
       [&] {
         const int r = f.report("18001500", "001");
         f.cell(r, 1, 7, "xyz");
         f.cell(r, 1, 1, "5");
       },
       nullptr, "内置规则第13条（第15表）", "xyz"},
      // The problem table gone when the register is to be filled.
      {"register", [] {},
       [&](const Pump& p) {
         if (p.message == "正在进行校核..." && p.index > 0 && p.progress == p.maximum)
           db.exec("DROP TABLE TMP_CONTENT");
       },
       "填写登记表", "tmp_content"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.step);
    db.exec("DELETE FROM RPTREPORTDATA");
    db.exec("DELETE FROM RPTREPORT");
    c.arrange();
    onPump = c.onPump;
    const QString failure = checkFailure();
    onPump = nullptr;
    const QString head = QStringLiteral("校核失败，出错位置：%1\n").arg(QString::fromUtf8(c.where));
    EXPECT_TRUE(failure.startsWith(head)) << failure.toStdString();
    EXPECT_TRUE(failure.contains(QString::fromUtf8(c.cause), Qt::CaseInsensitive))
        << failure.toStdString();
    EXPECT_EQ(sheet().rowCount(), 3);
    EXPECT_FALSE(window->connection().lost());
  }
}

}  // namespace
