// Start-up against the real test cluster: connection, progress, failure report.
#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/TPicture.h"
#include "app/Texts.h"
#include "app/UCheckEdit.h"
#include "app/uProgressBar.h"
#include "tests/support/ScriptedDialogs.h"
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

}  // namespace

TEST(Startup, ConnectsWithTheGaugeAt5Then145Then148Of150) {
  TestDatabase db;
  QTemporaryDir dir;
  db.writeStatisticsIni(dir.path());
  std::vector<GaugeState> seen;
  ProgressWindow::setObserver([&](const TFmProgressBar& w) {
    seen.push_back({w.LabInfo->text(), w.Gauge1->progress(), w.Gauge1->maxValue()});
  });
  {
    TFmCheckEdit w(dir.path());
    ProgressWindow::setObserver(nullptr);
    EXPECT_TRUE(w.dbConnected());
    EXPECT_TRUE(w.connection().isOpen());
    EXPECT_FALSE(anyVisible("TFmProgressBar"));
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

TEST(Startup, FailedConnectionGivesOnlyTheStartupMessage) {
  TestDatabase db;
  const std::vector<std::pair<const char*, DatabaseSettings>> cases = [&] {
    DatabaseSettings wrongPassword = db.settings();
    wrongPassword.Password = QStringLiteral("not the password");
    DatabaseSettings stopped = db.settings();
    stopped.Port = QStringLiteral("1");  // nothing listens there
    return std::vector<std::pair<const char*, DatabaseSettings>>{{"wrong password", wrongPassword},
                                                                 {"server not running", stopped}};
  }();
  for (const auto& [what, s] : cases) {
    QTemporaryDir dir;
    TestDatabase::writeStatisticsIni(dir.path(), s);
    ScriptedDialogs dialogs;
    EXPECT_EQ(ProgramMain(dir.path()), 0) << what;
    ASSERT_EQ(dialogs.calls.size(), 1u) << what;
    const DialogCall& call = dialogs.calls.front();
    EXPECT_EQ(call.kind, DialogCall::Startup);
    EXPECT_EQ(call.text, texts::kDatabaseNotStarted);
    EXPECT_EQ(call.caption, texts::kHint);
    EXPECT_EQ(call.owner, nullptr);
    EXPECT_FALSE(anyVisible("TFmCheckEdit")) << what;
    EXPECT_FALSE(anyVisible("TFmProgressBar")) << what;
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
