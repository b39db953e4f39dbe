// The organisation chooser dialog against a test database: the tree it loads
// from D01, clicks and the menu commands, what OK accepts and returns in each
// mode, Cancel, and a failing load.
#include <QCheckBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

#include "chooser/UFastTree.h"
#include "chooser/uChoosePartyOrg.h"
#include "platform/database.h"
#include "tests/chooser/TreeInput.h"
#include "tests/support/TestDatabase.h"

namespace {

// A hierarchy with the rows that must stay out of the tree.
void writeOrganisations(TestDatabase& db) {
  db.exec(
      "INSERT INTO D01 (D0107, D0127, D0101, useful) VALUES "
      "('002', '', '西山市委', '0'),"
      "('001', NULL, '东川市委', '0'),"
      "('001.002', '001', '东川二支部', '0'),"
      "('001.001', '001', '东川一支部', '0'),"
      "('001.001.001', '001.001', '一支部一组', '0'),"
      "('001.001.002', '001.001', '一支部二组', '0'),"
      "('003', '', '停用市委', '1'),"
      "('003.001', '003', '停用下级', '0'),"
      "('009.001', '009', '无上级', '0'),"
      "('009.001.001', '009.001', '无上级下级', '0')");
}

class Chooser : public ::testing::Test {
 protected:
  explicit Chooser(const QString& driver = kUnicodeDriver) : db(TestDatabase::Content::Empty, driver) {}

  void SetUp() override {
    writeOrganisations(db);
    dialog.SetConnection(db.connection());
  }

  // Runs the dialog with the script acting inside its modal loop; a dialog
  // the script leaves open is cancelled so that the test never hangs.
  bool execute(const std::function<void()>& script, bool multiSelect = true,
               bool collectCodes = true) {
    bool leftOpen = false;
    QTimer::singleShot(0, &dialog, [&] {
      tree().expandAll();
      script();
      if (dialog.isVisible()) {
        leftOpen = true;
        dialog.reject();
      }
    });
    const bool ok = dialog.Execute(multiSelect, collectCodes);
    openAtEnd = leftOpen;
    return ok;
  }

  TFastTreeView& tree() { return dialog.tree(); }
  QTreeWidgetItem* node(const char* code) { return nodeOf(tree(), QString::fromUtf8(code)); }
  void click(const char* code) { press(tree(), node(code)); }
  void clickOk() { dialog.okButton().click(); }

  TestDatabase db;
  TfrmChoosePartyOrg dialog;
  bool openAtEnd = false;
};

// The load under each build of the ODBC driver.
class ChooserDrivers : public Chooser, public ::testing::WithParamInterface<QString> {
 protected:
  ChooserDrivers() : Chooser(GetParam()) {}
};

TEST_P(ChooserDrivers, LoadsTheOrganisationsInUseInCodeOrder) {
  QStringList sent;
  db.connection().setStatementObserver([&](const QString& sql) { sent << sql; });
  QStringList seen;
  bool firstExpanded = false, boxVisible = false;
  execute([&] {
    firstExpanded = tree().topLevelItem(0)->isExpanded();
    boxVisible = dialog.cascadeBox().isVisible();
    seen = outline(tree());
  });
  db.connection().setStatementObserver(nullptr);

  EXPECT_EQ(sent, (QStringList{"select D0107,D0127,D0101 from D01 where useful='0' ORDER BY D0107"}));
  // Unused organisations, and rows below a parent that is unused or absent, stay out.
  EXPECT_EQ(seen, (QStringList{"0:001", "1:001.001", "2:001.001.001", "2:001.001.002",
                               "1:001.002", "0:002"}));
  EXPECT_EQ(node("001.001")->text(0), "东川一支部");
  EXPECT_TRUE(firstExpanded);
  EXPECT_TRUE(boxVisible);
  EXPECT_EQ(dialog.windowTitle(), "选择党组织");
  EXPECT_EQ(dialog.okButton().text(), "确  定");
  EXPECT_EQ(dialog.cancelButton().text(), "取  消");
}

INSTANTIATE_TEST_SUITE_P(Drivers, ChooserDrivers, ::testing::ValuesIn(kOdbcDrivers), testsupport::driverName);

TEST_F(Chooser, OkNeedsASelectedNodeAndACheckedOne) {
  bool openAfterUnselectedOk = false, openAfterUncheckedOk = false;
  const bool ok = execute([&] {
    // Checked but not selected.
    tree().SetNodeChecked(node("002"), true);
    clickOk();
    openAfterUnselectedOk = dialog.isVisible();
    // Selected but nothing checked: one click checks, the second unchecks.
    tree().SetNodeChecked(node("002"), false);
    click("001.002");
    click("001.002");
    clickOk();
    openAfterUncheckedOk = dialog.isVisible();
    click("001.002");
    clickOk();
  });
  EXPECT_TRUE(openAfterUnselectedOk);
  EXPECT_TRUE(openAfterUncheckedOk);
  EXPECT_TRUE(ok);
  EXPECT_FALSE(openAtEnd);
  EXPECT_EQ(dialog.CodeList(), (QStringList{"001.002"}));
  EXPECT_EQ(dialog.NameList(), (QStringList{"东川二支部"}));
}

TEST_F(Chooser, ListsFollowTreeOrderNotClickOrder) {
  const bool ok = execute([&] {
    click("002");
    click("001.001.002");
    click("001");  // without the cascade box only the node itself
    clickOk();
  });
  ASSERT_TRUE(ok);
  EXPECT_EQ(dialog.CodeList(), (QStringList{"001", "001.001.002", "002"}));
  EXPECT_EQ(dialog.NameList(), (QStringList{"东川市委", "一支部二组", "西山市委"}));
}

TEST_F(Chooser, PressesOffTheItemChangeNothing) {
  QStringList afterPresses;
  execute([&] {
    press(tree(), node("001.001"), Qt::LeftButton, Spot::RightOfLabel);
    press(tree(), node("001.001"), Qt::LeftButton, Spot::Indent);
    press(tree(), node("002"), Qt::RightButton);
    afterPresses = checkedCodes(tree());
  });
  EXPECT_TRUE(afterPresses.isEmpty());
}

// A press beside the nodes, a right press there, or a Ctrl+click on the
// selected node leaves the tree with its selection; a Ctrl+click inverts the
// tick as a plain click does. OK then closes the dialog with the ticked node.
TEST_F(Chooser, PressesBesideTheNodesOrWithCtrlKeepTheSelection) {
  struct Seen {
    QTreeWidgetItem* selected;
    QStringList checked;
  };
  std::vector<Seen> seen;
  const bool ok = execute([&] {
    click("001.002");
    const QRect last = tree().visualItemRect(node("002"));
    const QPoint below(last.left() + 5, last.bottom() + 40);
    ASSERT_LT(below.y(), tree().viewport()->height()) << "empty space under the nodes";
    ASSERT_EQ(tree().itemAt(below), nullptr);
    const std::function<void()> presses[] = {
        [&] { pressAt(tree(), below); },
        [&] { pressAt(tree(), below, Qt::RightButton); },
        [&] { pressAt(tree(), below, Qt::LeftButton, Qt::ControlModifier); },
        [&] { press(tree(), node("001.002"), Qt::LeftButton, Spot::Label, Qt::ControlModifier); },
        [&] { press(tree(), node("001.002"), Qt::LeftButton, Spot::Label, Qt::ControlModifier); },
    };
    for (const auto& p : presses) {
      p();
      seen.push_back({tree().Selected(), checkedCodes(tree())});
    }
    clickOk();
  });
  const QStringList ticked{"001.002"};
  ASSERT_EQ(seen.size(), 5u);
  for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i].selected, node("001.002")) << "press " << i;
  for (std::size_t i : {0u, 1u, 2u, 4u}) EXPECT_EQ(seen[i].checked, ticked) << "press " << i;
  EXPECT_TRUE(seen[3].checked.isEmpty()) << "the first Ctrl+click unticks";
  EXPECT_TRUE(ok);
  EXPECT_FALSE(openAtEnd);
  EXPECT_EQ(dialog.CodeList(), ticked);
}

// Both mouse-downs of a double click reach the handler: the tick is inverted
// twice, and the control opens or closes the node as on any double click.
TEST_F(Chooser, DoubleClickLeavesTheTickAndOpensOrClosesTheNode) {
  struct After {
    QStringList checked;
    bool expanded;
  };
  std::vector<After> after;
  execute([&] {
    node("001")->setExpanded(false);
    doubleClick(tree(), node("001"));
    after.push_back({checkedCodes(tree()), node("001")->isExpanded()});
    click("001");
    doubleClick(tree(), node("001"));
    after.push_back({checkedCodes(tree()), node("001")->isExpanded()});
  });
  ASSERT_EQ(after.size(), 2u);
  EXPECT_TRUE(after[0].checked.isEmpty());
  EXPECT_TRUE(after[0].expanded);
  EXPECT_EQ(after[1].checked, (QStringList{"001"}));
  EXPECT_FALSE(after[1].expanded);
}

// Neither button is the default: Enter does nothing, so a choice is never
// dropped by a key; Escape closes the dialog as Cancel.
TEST_F(Chooser, EnterLeavesTheDialogOpenAndEscapeCancels) {
  auto key = [&](int k) {
    QKeyEvent down(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(&tree(), &down);
    QKeyEvent up(QEvent::KeyRelease, k, Qt::NoModifier);
    QApplication::sendEvent(&tree(), &up);
  };
  bool aButtonIsDefault = true, openAfterEnter = false;
  QStringList checkedAfterEnter;
  const bool ok = execute([&] {
    aButtonIsDefault = dialog.okButton().isDefault() || dialog.cancelButton().isDefault();
    click("001.002");
    tree().setFocus();
    key(Qt::Key_Return);
    key(Qt::Key_Enter);
    openAfterEnter = dialog.isVisible();
    checkedAfterEnter = checkedCodes(tree());
    key(Qt::Key_Escape);
  });
  EXPECT_FALSE(aButtonIsDefault);
  EXPECT_TRUE(openAfterEnter);
  EXPECT_EQ(checkedAfterEnter, (QStringList{"001.002"}));
  EXPECT_FALSE(ok);
  EXPECT_FALSE(openAtEnd);
}

TEST_F(Chooser, CascadeAndTheClearingOfAncestors) {
  QStringList afterCheck, afterUncheck;
  const bool ok = execute([&] {
    dialog.cascadeBox().click();  // ticked
    click("001");
    afterCheck = checkedCodes(tree());
    click("001.001.001");  // unchecks it and every ancestor, not their other children
    afterUncheck = checkedCodes(tree());
    clickOk();
  });
  EXPECT_EQ(afterCheck, (QStringList{"001", "001.001", "001.001.001", "001.001.002", "001.002"}));
  EXPECT_EQ(afterUncheck, (QStringList{"001.001.002", "001.002"}));
  ASSERT_TRUE(ok);
  EXPECT_EQ(dialog.CodeList(), afterUncheck);
}

TEST_F(Chooser, CascadeUncheckTakesTheSubtree) {
  QStringList after;
  execute([&] {
    dialog.cascadeBox().click();
    click("001");
    click("001.001");
    after = checkedCodes(tree());
  });
  EXPECT_EQ(after, (QStringList{"001.002"}));
}

TEST_F(Chooser, MenuCommands) {
  QStringList afterN1, afterN2;
  bool boxAfterN1 = true;
  execute([&] {
    dialog.cascadeBox().click();
    press(tree(), node("001"), Qt::RightButton);
    dialog.popupMenu().actions().at(0)->trigger();  // N1: the node and its children
    afterN1 = checkedCodes(tree());
    boxAfterN1 = dialog.cascadeBox().isChecked();
    tree().SetNodeChecked(node("001"), false);
    press(tree(), node("002"), Qt::RightButton);
    dialog.popupMenu().actions().at(1)->trigger();  // N2: the whole level
    afterN2 = checkedCodes(tree());
  });
  EXPECT_EQ(dialog.popupMenu().actions().at(0)->text(), "选中本节点及下级节点");
  EXPECT_EQ(dialog.popupMenu().actions().at(1)->text(), "选中本级所有节点");
  EXPECT_EQ(afterN1, (QStringList{"001", "001.001", "001.002"}));
  EXPECT_FALSE(boxAfterN1);
  EXPECT_FALSE(tree().CheckedOption().AutoCheckedChildren());
  EXPECT_EQ(afterN2, (QStringList{"001", "001.001", "001.002", "002"}));
}

TEST_F(Chooser, MenuCommandsWithoutASelectionDoNothing) {
  QStringList after;
  execute([&] {
    dialog.N1Click();
    dialog.N2Click();
    after = checkedCodes(tree());
  });
  EXPECT_TRUE(after.isEmpty());
}

TEST_F(Chooser, SingleSelectKeepsOneCheckedNode) {
  QStringList afterTwoClicks;
  bool openAfterUncheckedOk = false;
  bool menuOffered = true, boxVisible = true;
  const bool ok = execute(
      [&] {
        menuOffered = tree().contextMenuPolicy() == Qt::CustomContextMenu;
        boxVisible = dialog.cascadeBox().isVisible();
        click("001.001");
        click("002");
        afterTwoClicks = checkedCodes(tree());
        press(tree(), node("001.001"), Qt::RightButton);  // selected, unchecked
        clickOk();
        openAfterUncheckedOk = dialog.isVisible();
        press(tree(), node("002"), Qt::RightButton);
        clickOk();
      },
      false, false);
  EXPECT_FALSE(menuOffered);
  EXPECT_FALSE(boxVisible);
  EXPECT_EQ(afterTwoClicks, (QStringList{"002"}));
  EXPECT_TRUE(openAfterUncheckedOk);
  ASSERT_TRUE(ok);
  ASSERT_NE(dialog.SelectedData(), nullptr);
  EXPECT_EQ(dialog.SelectedData()->Code, "002");
  EXPECT_TRUE(dialog.CodeList().isEmpty());
}

TEST_F(Chooser, LevelListGivesEachCheckedNodeItsDepth) {
  const bool ok = execute(
      [&] {
        click("001.001.002");
        click("001");
        clickOk();
      },
      true, false);
  ASSERT_TRUE(ok);
  QStringList levels;
  for (const auto& [code, data] : dialog.LevelList()) levels << code + "@" + data->LevelText;
  EXPECT_EQ(levels, (QStringList{"001@0", "001.001.002@2"}));
  EXPECT_TRUE(dialog.CodeList().isEmpty());
}

TEST_F(Chooser, CancelReturnsFalseWithEmptyLists) {
  const bool ok = execute([&] {
    click("001");
    dialog.cancelButton().click();
  });
  EXPECT_FALSE(ok);
  EXPECT_FALSE(openAtEnd);
  EXPECT_TRUE(dialog.CodeList().isEmpty());
  EXPECT_TRUE(dialog.NameList().isEmpty());
}

TEST(ChooserEmpty, NoOrganisationInUseLeavesOnlyCancel) {
  TestDatabase db;
  db.exec("INSERT INTO D01 (D0107, D0127, D0101, useful) VALUES ('001', '', 'x', '1')");
  TfrmChoosePartyOrg dialog;
  dialog.SetConnection(db.connection());
  bool openAfterOk = false;
  int nodes = -1;
  QTimer::singleShot(0, &dialog, [&] {
    nodes = dialog.tree().topLevelItemCount();
    dialog.okButton().click();
    openAfterOk = dialog.isVisible();
    dialog.reject();  // the close box
  });
  EXPECT_FALSE(dialog.Execute(true, true));
  EXPECT_EQ(nodes, 0);
  EXPECT_TRUE(openAfterOk);
}

TEST(ChooserFailure, FailingLoadLeavesExecuteBeforeTheDialogShows) {
  TestDatabase db;
  db.exec("DROP TABLE D01");
  TfrmChoosePartyOrg dialog;
  dialog.SetConnection(db.connection());
  EXPECT_THROW(dialog.Execute(true, true), platform::db::DbError);
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
