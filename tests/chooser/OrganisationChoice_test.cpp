// The main window's choice of organisations: the chooser run from the banner
// picture, its lists taken over on OK, kept on Cancel or a failing load, and
// the next check restricted to the choice.
#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/TPicture.h"
#include "app/UCheckEdit.h"
#include "check/BuiltinRules.h"
#include "check/FormulaCheck.h"
#include "chooser/uChoosePartyOrg.h"
#include "tests/chooser/TreeInput.h"
#include "tests/support/GoldenSql.h"
#include "tests/support/MainWindowTest.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestDatabase.h"

namespace {

class OrganisationChoice : public MainWindowTest {
 protected:
  void prepare() override {
    db.exec(
        "INSERT INTO D01 (D0107, D0127, D0101, useful) VALUES "
        "('001', '', '东川市委', '0'), ('001.001', '001', '东川一支部', '0'),"
        "('002', '', '西山市委', '0'), ('003', '', '南湖市委', '0')");
  }

  // Clicks the choose picture; the script acts on the chooser inside its
  // modal loop. Returns whether a chooser was open for the script.
  bool choose(const std::function<void(TfrmChoosePartyOrg&)>& script) {
    bool found = false;
    // A timer of this call's own: when the chooser never shows, it must not
    // fire later with the captures gone.
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      auto* chooser = qobject_cast<TfrmChoosePartyOrg*>(QApplication::activeModalWidget());
      if (!chooser) return;
      found = true;
      chooser->tree().expandAll();
      script(*chooser);
      if (chooser->isVisible()) chooser->reject();
    });
    timer.start(0);
    window->picture("imgCheckUnit")->click();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    return found;
  }

  // Clicks the nodes with these codes, then OK.
  bool chooseAndConfirm(const QStringList& codes) {
    return choose([&](TfrmChoosePartyOrg& c) {
      for (const QString& code : codes) press(c.tree(), nodeOf(c.tree(), code));
      c.okButton().click();
    });
  }

  // The organisation filters of the next check's statements.
  QStringList checkStatements() {
    QStringList sent;
    window->connection().setStatementObserver([&](const QString& sql) { sent << sql; });
    window->picture("imgJH")->click();
    window->connection().setStatementObserver(nullptr);
    return sent;
  }
};

TEST_F(OrganisationChoice, OkReplacesTheChoiceAndRestrictsTheNextCheck) {
  ASSERT_TRUE(chooseAndConfirm({"003", "001"}));
  EXPECT_EQ(window->selectedOrgCodes(), (QStringList{"001", "003"}));
  EXPECT_EQ(window->selectedOrgNames(), (QStringList{"东川市委", "南湖市委"}));

  const QStringList sent = checkStatements();
  EXPECT_TRUE(dialogs.calls.empty());
  EXPECT_TRUE(sent.contains(golden::formulaStatement(" and D0107 IN ( '001','003','1')")));
  for (int n = 1; n <= 26; ++n)
    EXPECT_TRUE(sent.contains(check::builtinRuleStatement(n, {"001", "003"}))) << n;

  // A second OK replaces the first choice completely.
  ASSERT_TRUE(chooseAndConfirm({"001.001"}));
  EXPECT_EQ(window->selectedOrgCodes(), (QStringList{"001.001"}));
  EXPECT_EQ(window->selectedOrgNames(), (QStringList{"东川一支部"}));
  const QStringList one = checkStatements();
  EXPECT_TRUE(one.contains(golden::formulaStatement(" AND D0107 = '001.001'")));
  EXPECT_TRUE(one.contains(check::builtinRuleStatement(1, {"001.001"})));
}

TEST_F(OrganisationChoice, CancelKeepsTheEarlierChoice) {
  ASSERT_TRUE(chooseAndConfirm({"002"}));
  ASSERT_TRUE(choose([](TfrmChoosePartyOrg& c) {
    press(c.tree(), nodeOf(c.tree(), "001"));
    c.cancelButton().click();
  }));
  EXPECT_EQ(window->selectedOrgCodes(), (QStringList{"002"}));
  EXPECT_EQ(window->selectedOrgNames(), (QStringList{"西山市委"}));
  EXPECT_TRUE(checkStatements().contains(golden::formulaStatement(" AND D0107 = '002'")));
}

TEST_F(OrganisationChoice, CancelOfTheFirstChoiceKeepsAllOrganisations) {
  ASSERT_TRUE(choose([](TfrmChoosePartyOrg& c) { c.cancelButton().click(); }));
  EXPECT_TRUE(window->selectedOrgCodes().isEmpty());
  EXPECT_TRUE(window->selectedOrgNames().isEmpty());
  EXPECT_TRUE(checkStatements().contains(golden::formulaStatement(QString())));
}

TEST_F(OrganisationChoice, FailingLoadIsShownAndKeepsTheChoice) {
  ASSERT_TRUE(chooseAndConfirm({"002"}));
  db.exec("ALTER TABLE D01 RENAME TO D01_GONE");
  EXPECT_FALSE(choose([](TfrmChoosePartyOrg&) {}));  // never shown
  const auto failures = dialogs.texts(DialogCall::Failure);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_TRUE(failures[0].contains("d01", Qt::CaseInsensitive)) << failures[0].toStdString();
  EXPECT_EQ(window->selectedOrgCodes(), (QStringList{"002"}));
  EXPECT_EQ(window->selectedOrgNames(), (QStringList{"西山市委"}));
  // No chooser is left behind.
  for (QWidget* w : QApplication::topLevelWidgets())
    EXPECT_EQ(qobject_cast<TfrmChoosePartyOrg*>(w), nullptr);
}

}  // namespace

// A session the server ended since the last command is reopened before the
// chooser loads its tree.
TEST_F(OrganisationChoice, EndedSessionIsReopenedBeforeTheChooserLoads) {
  db.terminateSession(window->connection());
  ASSERT_TRUE(chooseAndConfirm({"002"}));
  EXPECT_TRUE(dialogs.calls.empty()) << dialogs.calls.front().text.toStdString();
  EXPECT_EQ(window->selectedOrgCodes(), QStringList{"002"});
  EXPECT_FALSE(window->connection().lost());
}
