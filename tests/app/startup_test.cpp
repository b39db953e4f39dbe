// Start-up against the real test cluster: connection, progress, failure report.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

#include "app/TPicture.h"
#include "app/Texts.h"
#include "app/UCheckEdit.h"
#include "app/uProgressBar.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TcpProxy.h"
#include "tests/support/TestDatabase.h"

namespace {

struct GaugeState {
  QString message;
  int progress, maximum;
  bool operator==(const GaugeState&) const = default;
};

bool anyVisible(const char* className) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->inherits(className)) return true;
  return false;
}

// The logins to db's database in the server's log (the test cluster logs
// every connection). The server writes the line before it answers the client.
int logins(const TestDatabase& db) {
  QFile log(qEnvironmentVariable("RC_TEST_PGDIR") + QStringLiteral("/server.log"));
  EXPECT_TRUE(log.open(QIODevice::ReadOnly)) << log.fileName().toStdString();
  const QRegularExpression login(QStringLiteral("connection authorized: user=ADMIN database=%1\\b").arg(db.name()));
  return static_cast<int>(QString::fromUtf8(log.readAll()).count(login));
}

}  // namespace

TEST(Startup, ConnectsWithTheGaugeAt5Then145Then148Of150) {
  TestDatabase db;
  QTemporaryDir dir;
  db.writeStatisticsIni(dir.path());
  std::vector<GaugeState> seen;
  ProgressWindow::setObserver([&](const TFmProgressBar& w) {
    seen.push_back({w.LabInfo->text(), w.Gauge1->progress(), w.Gauge1->maxValue()});
  });
  const int loginsBefore = logins(db);
  {
    TFmCheckEdit w(dir.path());
    ProgressWindow::setObserver(nullptr);
    EXPECT_TRUE(w.dbConnected());
    EXPECT_TRUE(w.connection().isOpen());
    EXPECT_FALSE(anyVisible("TFmProgressBar"));
    // One connect: a server counts one login, and one backend started, per start-up.
    EXPECT_EQ(logins(db), loginsBefore + 1);
  }
  const QString m = texts::kStarting;
  EXPECT_EQ(seen, (std::vector<GaugeState>{{m, 0, 150}, {m, 5, 150}, {m, 145, 150}, {m, 148, 150}}));
}

TEST(Startup, ProgramMainShowsTheMaximisedMainWindowAndEndsWhenItCloses) {
  TestDatabase db;
  QTemporaryDir dir;
  db.writeStatisticsIni(dir.path());
  ScriptedDialogs dialogs;
  bool sawMain = false;
  // Start-up pumps messages itself, so poll until the main window is up.
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* main = qobject_cast<TFmCheckEdit*>(w); main && main->isVisible() && !sawMain) {
        sawMain = true;
        poll.stop();
        EXPECT_EQ(main->windowTitle(), texts::kMainCaption);
        EXPECT_TRUE(main->isMaximized());
        main->picture("Image4")->click();  // the close picture ends the program
      }
  });
  poll.start();
  EXPECT_EQ(ProgramMain(dir.path()), 0);
  EXPECT_TRUE(sawMain);
  EXPECT_TRUE(dialogs.calls.empty());
}

// Each failed start-up shows the one start-up sentence, with no owner and no
// main window; the reason, the driver's text and its SQLSTATE, is in the
// box's details and on standard error.
TEST(Startup, FailedConnectionGivesTheStartupMessageWithItsReason) {
  TestDatabase db;
  TcpProxy silent(0);  // accepts and never answers
  const auto with = [&](const std::function<void(DatabaseSettings&)>& change) {
    DatabaseSettings s = db.settings();
    change(s);
    return s;
  };
  const struct {
    const char* what;
    DatabaseSettings settings;
    QStringList reason;  // each in the details and on standard error
  } cases[] = {
      {"wrong password", with([](DatabaseSettings& s) { s.Password = "not the password"; }),
       {"password authentication failed", "SQLSTATE 08001"}},
      {"missing database", with([](DatabaseSettings& s) { s.Database = "no_such_database"; }),
       {"\"no_such_database\" does not exist", "SQLSTATE 08001"}},
      {"refused port", with([](DatabaseSettings& s) { s.Port = "1"; }),
       {"Connection refused", "SQLSTATE 08001"}},
      {"unknown driver", with([](DatabaseSettings& s) { s.Driver = "{No Such Driver}"; }),
       {"No Such Driver", "SQLSTATE "}},
      {"server that never answers",
       with([&](DatabaseSettings& s) { s.Port = QString::number(silent.port()); }),
       {"timeout expired", "SQLSTATE 08001"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QTemporaryDir dir;
    TestDatabase::writeStatisticsIni(dir.path(), c.settings);
    ScriptedDialogs dialogs;
    QElapsedTimer clock;
    clock.start();
    testing::internal::CaptureStderr();
    EXPECT_EQ(ProgramMain(dir.path()), 0);
    const QString stderrText = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_LT(clock.elapsed(), 15000);  // bounded by the login timeout
    ASSERT_EQ(dialogs.calls.size(), 1u);
    const DialogCall& call = dialogs.calls.front();
    EXPECT_EQ(call.kind, DialogCall::Startup);
    EXPECT_EQ(call.text, texts::kDatabaseNotStarted);
    EXPECT_EQ(call.caption, texts::kHint);
    EXPECT_EQ(call.owner, nullptr);
    for (const QString& part : c.reason) {
      EXPECT_TRUE(call.details.contains(part)) << call.details.toStdString();
      EXPECT_TRUE(stderrText.contains(part)) << stderrText.toStdString();
    }
    EXPECT_TRUE(stderrText.contains(texts::kDatabaseNotStarted)) << stderrText.toStdString();
    EXPECT_FALSE(anyVisible("TFmCheckEdit"));
    EXPECT_FALSE(anyVisible("TFmProgressBar"));
  }
}

// Braces and ";" in a password are the password's own: the server gets it whole.
TEST(Startup, PasswordWithBracesAndSemicolonReachesTheServerWhole) {
  TestDatabase db;
  const QString role = db.name() + QStringLiteral("_u");
  for (const QString& password : {QStringLiteral("{x}"), QStringLiteral("{a;b}}c")}) {
    db.adminExec(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(role, password));
    {
      QTemporaryDir dir;
      DatabaseSettings s = db.settings();
      s.LogId = role;
      s.Password = password;
      TestDatabase::writeStatisticsIni(dir.path(), s);
      TFmCheckEdit w(dir.path());
      EXPECT_TRUE(w.dbConnected()) << password.toStdString();
    }
    db.adminExec(QStringLiteral("DROP ROLE %1").arg(role));
  }
}
