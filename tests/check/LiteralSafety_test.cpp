// Values that the program quotes into its statements stay values whatever
// the server's settings: on a database whose sessions start with
// standard_conforming_strings off, a backslash before a quote would end the
// literal early and let the rest run as SQL.
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "app/TPicture.h"
#include "app/UCheckEdit.h"
#include "platform/database.h"
#include "tests/support/MainWindowTest.h"
#include "tests/support/QStringPrint.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

// Each closes its literal under backslash escapes and drops a table.
const QString kEvilExcept = QStringLiteral("x\\', 1); DROP TABLE D01; --");
const QString kEvilName = QStringLiteral("x\\', 1, 1); DROP TABLE RPTFORMULA; --");

QString show(platform::db::Connection& c) {
  platform::db::Query q(c);
  q.setSql(QStringLiteral("SHOW standard_conforming_strings"));
  q.open();
  return q.value(0);
}

class LiteralSafety : public MainWindowTest {
 protected:
  void prepare() override {
    db.adminExec("ALTER DATABASE " + db.name() + " SET standard_conforming_strings = off");
    // The test's own session began before the change: the name goes in verbatim.
    db.exec("INSERT INTO D01 (D0107, D0101) VALUES ('001', '" +
            QString(kEvilName).replace("'", "''") + "')");
    // A rule file whose one formula every organisation breaches (0 < 0 fails)
    // and whose second excluded prefix holds the backslash-quote sequence.
    ASSERT_TRUE(QDir(dir.path()).mkdir("2016XML"));
    QFile f(dir.filePath("2016XML/checkRuler_11.xml"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<checkplan><formula id="F1" type="11"><content>$D无数据</content>
<control in="" inrelate="" out1="" out2="x\&apos;, 1); DROP TABLE D01; --"/>
<item operator="0" expression="2016">
<element rptId="18000700" itype="0" rptDateB="20160101" rptDateE="20161231" row="1" col="1" balance="1"/>
</item></formula></checkplan>
)");
  }
};

TEST_F(LiteralSafety, BackslashQuoteValuesAreStoredVerbatimAndTouchNoTable) {
  // The premise: a new session of this database starts with the setting off.
  platform::db::Connection fresh;
  fresh.open(db.connectionString());
  ASSERT_EQ(show(fresh), "off");
  EXPECT_EQ(show(window->connection()), "on");

  window->picture("imgJH")->click();
  EXPECT_TRUE(dialogs.calls.empty()) << dialogs.calls.front().text.toStdString();

  // The rule-file value and the organisation name, each exactly as given.
  EXPECT_EQ(db.column("SELECT S_OEXCEPT2 FROM TMP_FORMULA WHERE S_FID LIKE 'F1\\_%'"),
            QStringList{kEvilExcept});
  EXPECT_EQ(db.column("SELECT CONTENTSCR FROM TMP_CONTENT WHERE RPTID = '18000700'"),
            QStringList{kEvilName + "无数据"});
  EXPECT_EQ(db.column("SELECT D0101 FROM D01"), QStringList{kEvilName});
  EXPECT_EQ(db.column("SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME IN "
                      "('D01', 'RPTFORMULA')"),
            QStringList{"2"});

  // A reopened connection gets the setting again.
  db.terminateSession(window->connection());
  window->picture("imgJH")->click();
  EXPECT_TRUE(dialogs.calls.empty());
  EXPECT_EQ(show(window->connection()), "on");
  EXPECT_EQ(db.column("SELECT CONTENTSCR FROM TMP_CONTENT WHERE RPTID = '18000700'"),
            QStringList{kEvilName + "无数据"});
}

}  // namespace
