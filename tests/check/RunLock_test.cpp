// Several programs on one database: one check run at a time. A program that
// finds another's run under way says so and touches neither the working
// tables nor its own register; a program killed in the middle of its run
// leaves nothing held.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "app/TPicture.h"
#include "app/Texts.h"
#include "app/UCheckEdit.h"
#include "cell/Sheet.h"
#include "cell/TCell.h"
#include "check/RunLock.h"
#include "tests/check/CheckFixture.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/GoldenSql.h"
#include "tests/support/MainWindowTest.h"
#include "tests/support/QStringPrint.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

// The problem rows of a window's register (between the header and the signature).
QStringList registerRows(TFmCheckEdit& w) {
  const cell::Sheet& s = w.cell().sheet();
  QStringList out;
  for (int r = 3; r < s.rowCount() - 1; ++r) out << QStringList{s.text(1, r), s.text(2, r), s.text(3, r)}.join('|');
  return out;
}

const char* const kKilledTest = "RunLock.ProgramKilledWhileItHoldsTheLockFreesIt";
const char* const kChildFolder = "RC_RUN_LOCK_CHILD_FOLDER";
const char* const kHolding = "holding the run lock";

// The second program of that test, in a child process: a program on the
// database of the parent's folder, stopped for good inside its formula
// statement, until the parent kills it (the fixture's scripted dialogs are
// installed).
void holdTheLockForEver() {
  TFmCheckEdit w(qEnvironmentVariable(kChildFolder));
  ASSERT_TRUE(w.dbConnected());
  w.connection().setStatementObserver([](const QString& sql) {
    if (sql != golden::formulaStatement(QString())) return;
    std::printf("%s\n", kHolding);
    std::fflush(stdout);
    for (;;) QThread::sleep(60);
  });
  w.picture("imgJH")->click();
  FAIL() << "the check ran past its formula statement";
}

class RunLock : public MainWindowTest {
 protected:
  RunLock() : MainWindowTest(TestDatabase::Content::Demo) {}

  // Advisory locks held on this test's database (the cluster is shared).
  int runLocksHeld() {
    return db.column(QStringLiteral("SELECT COUNT(*) FROM pg_locks WHERE locktype = 'advisory' AND granted AND "
                                    "database = (SELECT oid FROM pg_database WHERE datname = current_database())"))
        .front()
        .toInt();
  }
};

}  // namespace

// Two programs on one database, the second one's check clicked while the
// first one is inside its formula statement.
TEST_F(RunLock, ASecondProgramsCheckWaitsForNoneAndTouchesNothing) {
  TFmCheckEdit second(dir.path());
  ASSERT_TRUE(second.dbConnected());
  second.show();
  second.picture("imgJH")->click();  // alone: a single run's register
  const QStringList single = registerRows(second);
  ASSERT_GT(single.size(), 26);
  dialogs.calls.clear();

  QStringList secondSent;
  bool clicked = false;
  window->connection().setStatementObserver([&](const QString& sql) {
    if (clicked || sql != golden::formulaStatement(QString())) return;
    clicked = true;
    EXPECT_EQ(runLocksHeld(), 1);
    StatementLog log(second.connection());
    second.picture("imgJH")->click();
    secondSent = log.sent;
  });
  window->picture("imgJH")->click();
  window->connection().setStatementObserver(nullptr);

  ASSERT_TRUE(clicked);
  EXPECT_EQ(secondSent, QStringList{check::kTryRunLockSql});  // no working table touched
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(dialogs.calls[0].kind, DialogCall::Information);
  EXPECT_EQ(dialogs.calls[0].text, texts::kWorkingTablesInUse);
  EXPECT_EQ(dialogs.calls[0].caption, texts::kHint);
  EXPECT_EQ(dialogs.calls[0].owner, &second);
  EXPECT_EQ(registerRows(second), single);  // its sheet as it was
  EXPECT_EQ(registerRows(*window), single);  // the first run's rows, each once
  EXPECT_EQ(db.column("SELECT COUNT(*) FROM TMP_CONTENT").front().toInt(), single.size());
  EXPECT_EQ(runLocksHeld(), 0);  // given back at the end of the run

  // Once the first run is over the second program's check runs.
  dialogs.calls.clear();
  second.picture("imgJH")->click();
  EXPECT_TRUE(dialogs.calls.empty());
  EXPECT_EQ(registerRows(second), single);
}

// The rule-file import and the check it starts wait for no other run either.
TEST_F(RunLock, AnImportWhileAnotherRunHoldsTheLockTouchesNothing) {
  platform::db::Connection other;
  other.open(db.connectionString());
  const check::RunLock held(other);
  ASSERT_TRUE(held.acquired());
  dialogs.fileAnswers.push_back(QStringLiteral(RC_DEMO_RULE_DIR "/checkRuler_11.xml"));
  const int rowsBefore = sheet().rowCount();
  StatementLog log(window->connection());
  window->btnReadXMLClick();
  EXPECT_EQ(log.sent, QStringList{check::kTryRunLockSql});
  ASSERT_EQ(dialogs.texts(DialogCall::Information), std::vector<QString>{texts::kWorkingTablesInUse});
  EXPECT_TRUE(window->formulaSqlList().isEmpty());
  EXPECT_EQ(sheet().rowCount(), rowsBefore);
}

TEST_F(RunLock, ProgramKilledWhileItHoldsTheLockFreesIt) {
  if (testsupport::isChildProcessOf(kKilledTest)) return holdTheLockForEver();
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  testsupport::startChildProcess(child, kKilledTest, {{QString::fromLatin1(kChildFolder), dir.path()}});
  QByteArray out;
  QElapsedTimer waited;
  waited.start();
  while (!out.contains(kHolding) && waited.elapsed() < 120000 && child.state() != QProcess::NotRunning)
    if (child.waitForReadyRead(1000)) out += child.readAllStandardOutput();
  ASSERT_TRUE(out.contains(kHolding)) << out.constData();

  window->picture("imgJH")->click();
  EXPECT_EQ(dialogs.texts(DialogCall::Information), std::vector<QString>{texts::kWorkingTablesInUse});

  child.kill();
  ASSERT_TRUE(child.waitForFinished(10000));
  // The server ends the session, and frees its lock, once it sees the socket closed.
  for (waited.restart(); runLocksHeld() > 0 && waited.elapsed() < 10000;) QThread::msleep(50);
  ASSERT_EQ(runLocksHeld(), 0);

  dialogs.calls.clear();
  window->picture("imgJH")->click();
  EXPECT_TRUE(dialogs.calls.empty()) << dialogs.calls.front().text.toStdString();
  EXPECT_GT(registerRows(*window).size(), 26);
}
