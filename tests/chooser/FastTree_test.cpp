// The check-box tree: building from a flat coded list, check states with
// their cascades, the code index, the pending queue and the selection images.
#include <QApplication>
#include <QFontMetrics>
#include <QPixmap>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "chooser/UFastTree.h"
#include "tests/chooser/TreeInput.h"

namespace {

struct Item {
  const char* code;
  const char* parent;
  bool initiallyChecked = false;
};

std::unique_ptr<TNodeDataItem> makeItem(const Item& i) {
  auto item = std::make_unique<TNodeDataItem>();
  item->SetCode(QString::fromUtf8(i.code));
  item->SetParentCode(QString::fromUtf8(i.parent));
  item->SetCaption(QStringLiteral("name ") + QString::fromUtf8(i.code));
  item->InitiallyChecked = i.initiallyChecked;
  return item;
}

constexpr int kTicked = 1;
constexpr int kEmpty = 2;

class FastTree : public ::testing::Test {
 protected:
  FastTree() {
    tree.CheckedOption().SetCheckedImageIndex(kTicked);
    tree.CheckedOption().SetUnCheckedImageIndex(kEmpty);
    tree.CheckedOption().SetShowCheckBox(true);
  }
  void build(const std::vector<Item>& items) {
    for (const Item& i : items) tree.QueueItem(makeItem(i));
    tree.BuildTree();
  }
  QTreeWidgetItem* node(const char* code) { return nodeOf(tree, QString::fromUtf8(code)); }

  TFastTreeView tree;
};

// A, its children and grandchildren, and a second top-level node, in code order.
const std::vector<Item> kHierarchy = {
    {"001", ""},         {"001.001", "001"}, {"001.001.001", "001.001"}, {"001.001.002", "001.001"},
    {"001.002", "001"},  {"002", ""},        {"002.001", "002"}};

TEST(LinkList, TraversalThatRemovesSkipsNothing) {
  TLinkList list;
  for (const char* code : {"a", "b", "c", "d"}) {
    auto item = std::make_unique<TNodeDataItem>();
    item->SetCode(code);
    list.Append(std::move(item));
  }
  list.RemoveCurrent();  // right after Append the cursor is on "d": it goes
  EXPECT_EQ(list.Count(), 3);

  list.Rewind();
  list.RemoveCurrent();  // rewound: nothing
  EXPECT_EQ(list.Count(), 3);

  QStringList seen;
  list.Rewind();
  while (list.MoveNext()) {
    seen << list.Current()->Code;
    if (list.Current()->Code != "b") list.RemoveCurrent();
  }
  EXPECT_EQ(seen, (QStringList{"a", "b", "c"}));
  ASSERT_EQ(list.Count(), 1);

  // "b" is now both head and tail; an append links after it.
  auto e = std::make_unique<TNodeDataItem>();
  e->SetCode("e");
  list.Append(std::move(e));
  seen.clear();
  list.Rewind();
  while (list.MoveNext()) seen << list.Current()->Code;
  EXPECT_EQ(seen, (QStringList{"b", "e"}));
  EXPECT_FALSE(list.MoveNext());  // stays on the tail
  EXPECT_EQ(list.Current()->Code, "e");
}

TEST_F(FastTree, CodeOrderedListIsAttachedInOnePass) {
  build(kHierarchy);
  EXPECT_EQ(outline(tree), (QStringList{"0:001", "1:001.001", "2:001.001.001", "2:001.001.002",
                                        "1:001.002", "0:002", "1:002.001"}));
  EXPECT_EQ(tree.PendingCount(), 0);
  ASSERT_EQ(tree.CodeIndex().size(), 7);
  EXPECT_EQ(tree.CodeIndex()[2].first, "001.001.001");
  EXPECT_EQ(tree.CodeIndex()[2].second, node("001.001.001"));
  EXPECT_EQ(node("001.002")->text(0), "name 001.002");
  // Every node starts with the empty box.
  for (QTreeWidgetItemIterator it(&tree); *it; ++it)
    EXPECT_EQ(TFastTreeView::StateIndex(*it), kEmpty);
}

struct BuildCase {
  const char* name;
  std::vector<Item> items;
  QStringList outline;
  int pending;
};

void PrintTo(const BuildCase& c, std::ostream* os) { *os << c.name; }

class FastTreeBuild : public FastTree, public ::testing::WithParamInterface<BuildCase> {};

TEST_P(FastTreeBuild, Outline) {
  build(GetParam().items);
  EXPECT_EQ(outline(tree), GetParam().outline);
  EXPECT_EQ(tree.PendingCount(), GetParam().pending);
  EXPECT_EQ(tree.CodeIndex().size(), GetParam().outline.size());
}

INSTANTIATE_TEST_SUITE_P(Cases, FastTreeBuild,
    ::testing::Values(
        BuildCase{"EmptyQueue", {}, {}, 0},
        // C names no item: A's first pass takes B, then the failed walk stops
        // D from attaching until A's own pass.
        BuildCase{"OrphanDelaysItsFollower",
                  {{"A", ""}, {"B", "A"}, {"C", "X"}, {"D", "A"}},
                  {"0:A", "1:B", "1:D"},
                  1},
        BuildCase{"ChildBeforeParent", {{"A.1", "A"}, {"A", ""}}, {"0:A", "1:A.1"}, 0},
        BuildCase{"EmptyParentCodesAreTopLevel",
                  {{"1", ""}, {"2", ""}, {"3", ""}},
                  {"0:1", "0:2", "0:3"},
                  0},
        BuildCase{"ParentCodeComparesWithCase", {{"a", ""}, {"a.1", "A"}}, {"0:a"}, 1},
        BuildCase{"NoTopLevelItemAttachesNothing", {{"a", "x"}, {"b", "a"}}, {}, 2},
        // A grandchild whose parent is missing, below an existing node.
        BuildCase{"MissingParentHidesItsSubtree",
                  {{"1", ""}, {"1.2.3", "1.2"}, {"1.2.3.4", "1.2.3"}, {"1.5", "1"}},
                  {"0:1", "1:1.5"},
                  2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FastTree, LeftoverItemsAttachOnALaterBuild) {
  build({{"1", ""}, {"1.1.1", "1.1"}});
  EXPECT_EQ(tree.PendingCount(), 1);
  build({{"1.1", "1"}});
  EXPECT_EQ(outline(tree), (QStringList{"0:1", "1:1.1", "2:1.1.1"}));
  EXPECT_EQ(tree.PendingCount(), 0);
}

TEST_F(FastTree, InitiallyCheckedItemsStartTicked) {
  build({{"1", "", true}, {"1.1", "1", false}});
  EXPECT_EQ(outline(tree), (QStringList{"0:1+", "1:1.1"}));
}

TEST_F(FastTree, WithoutCheckBoxesNothingIsChecked) {
  tree.CheckedOption().SetShowCheckBox(false);
  build({{"1", "", true}, {"1.1", "1"}});
  EXPECT_EQ(TFastTreeView::StateIndex(node("1")), 0);  // no state image at all
  tree.SetNodeChecked(node("1.1"), true);
  EXPECT_EQ(TFastTreeView::StateIndex(node("1.1")), 0);
  EXPECT_FALSE(tree.IsNodeChecked(node("1")));
  EXPECT_FALSE(tree.IsNodeChecked(node("1.1")));
  // The options hold only values: switching on later does not touch nodes.
  tree.CheckedOption().SetShowCheckBox(true);
  EXPECT_EQ(TFastTreeView::StateIndex(node("1")), 0);
}

TEST_F(FastTree, CheckingAffectsTheNodeAloneWithoutCascades) {
  build(kHierarchy);
  tree.SetNodeChecked(node("001.001"), true);
  EXPECT_EQ(checkedCodes(tree), (QStringList{"001.001"}));
  tree.SetNodeChecked(node("001.001"), false);
  EXPECT_TRUE(checkedCodes(tree).isEmpty());
  tree.SetNodeChecked(nullptr, true);  // nothing
}

TEST_F(FastTree, SubtreeCascadeFollowsBothWays) {
  build(kHierarchy);
  tree.CheckedOption().SetAutoCheckedChildren(true);
  tree.SetNodeChecked(node("001"), true);
  EXPECT_EQ(checkedCodes(tree),
            (QStringList{"001", "001.001", "001.001.001", "001.001.002", "001.002"}));
  tree.SetNodeChecked(node("001.001"), false);
  EXPECT_EQ(checkedCodes(tree), (QStringList{"001", "001.002"}));  // ancestors untouched
}

TEST_F(FastTree, AncestorRule) {
  build(kHierarchy);
  tree.CheckedOption().SetAutoCheckedParent(true);
  // Checking a leaf marks its whole ancestor line, whatever its siblings.
  tree.SetNodeChecked(node("001.001.001"), true);
  EXPECT_EQ(checkedCodes(tree), (QStringList{"001", "001.001", "001.001.001"}));

  // A sibling still checked keeps the parent and everything above it.
  tree.SetNodeChecked(node("001.001.002"), true);
  tree.SetNodeChecked(node("001.001.001"), false);
  EXPECT_EQ(checkedCodes(tree), (QStringList{"001", "001.001", "001.001.002"}));

  // The last marked child unchecked clears its parent, and then the
  // grandparent, whose children are now all unchecked.
  tree.SetNodeChecked(node("001.001.002"), false);
  EXPECT_TRUE(checkedCodes(tree).isEmpty());

  // It stops at the first ancestor that still has a checked child: 001.001
  // loses its last marked child and goes, 001 keeps 001.002.
  tree.CheckedOption().SetAutoCheckedParent(false);
  tree.SetNodeChecked(node("001.002"), true);
  tree.SetNodeChecked(node("001"), true);
  tree.SetNodeChecked(node("001.001"), true);
  tree.SetNodeChecked(node("001.001.001"), true);
  tree.CheckedOption().SetAutoCheckedParent(true);
  tree.SetNodeChecked(node("001.001.001"), false);
  EXPECT_EQ(checkedCodes(tree), (QStringList{"001", "001.002"}));
}

TEST_F(FastTree, NodeWithoutStateImageBlocksUpwardClearing) {
  build({{"1", ""}, {"1.1", "1"}, {"1.2", "1"}});
  tree.SetStateIndex(node("1.2"), 0);
  tree.CheckedOption().SetAutoCheckedParent(true);
  tree.SetNodeChecked(node("1.1"), true);
  EXPECT_TRUE(tree.IsNodeChecked(node("1")));
  tree.SetNodeChecked(node("1.1"), false);
  EXPECT_TRUE(tree.IsNodeChecked(node("1")));
  EXPECT_FALSE(tree.IsNodeChecked(node("1.2")));  // index 0 reads unchecked
}

TEST_F(FastTree, IsNodeCheckedComparesWithTheIndexInForce) {
  build({{"1", ""}});
  tree.SetNodeChecked(node("1"), true);
  tree.CheckedOption().SetCheckedImageIndex(kEmpty);
  EXPECT_FALSE(tree.IsNodeChecked(node("1")));
}

TEST_F(FastTree, DeletedNodesLeaveTheCodeIndex) {
  build(kHierarchy);
  std::unique_ptr<QTreeWidgetItem>(node("001.001")).reset();  // with its two children
  QStringList codes;
  for (const auto& e : tree.CodeIndex()) codes << e.first;
  EXPECT_EQ(codes, (QStringList{"001", "001.002", "002", "002.001"}));
  tree.clear();
  EXPECT_TRUE(tree.CodeIndex().isEmpty());
}

TEST(FastTreeLife, TreeOwnsAttachedAndWaitingItems) {
  // Under the address sanitizer a leak or a late index update fails the run.
  auto tree = std::make_unique<TFastTreeView>();
  for (const Item& i : std::vector<Item>{{"1", ""}, {"1.1", "1"}, {"orphan", "nowhere"}})
    tree->QueueItem(makeItem(i));
  tree->BuildTree();
  EXPECT_EQ(tree->PendingCount(), 1);
  std::unique_ptr<QTreeWidgetItem> taken(tree->takeTopLevelItem(0));
  tree.reset();
  EXPECT_EQ(TFastTreeView::NodeDataOf(taken->child(0))->Code, "1.1");
  taken.reset();  // its tree is gone: no index left to update
}

TEST(CheckedOption, AssignCopiesIndexesAndCascadesOnly) {
  TCheckedOption from(nullptr), to(nullptr);
  from.SetCheckedImageIndex(4);
  from.SetUnCheckedImageIndex(5);
  from.SetAutoCheckedChildren(true);
  from.SetAutoCheckedParent(true);
  from.SetShowCheckBox(true);
  int changes = 0;
  TCheckedOption* sender = nullptr;
  to.OnChange = [&](TCheckedOption* o) {
    ++changes;
    sender = o;
  };
  from.AssignTo(to);
  EXPECT_EQ(to.CheckedImageIndex(), 4);
  EXPECT_EQ(to.UnCheckedImageIndex(), 5);
  EXPECT_TRUE(to.AutoCheckedChildren());
  EXPECT_TRUE(to.AutoCheckedParent());
  EXPECT_FALSE(to.ShowCheckBox());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(sender, &to);
}

TEST_F(FastTree, SelectionImagesSwitchOnlyWithAnImageList) {
  build({{"1", ""}, {"2", ""}});
  tree.setCurrentItem(node("1"));
  EXPECT_EQ(TFastTreeView::ImageIndex(node("1")), -1);

  QPixmap pm(16, 16);
  pm.fill(Qt::blue);
  tree.SetImages({QIcon(pm), QIcon(pm)});
  tree.setCurrentItem(node("2"));
  EXPECT_EQ(TFastTreeView::ImageIndex(node("1")), 0);
  EXPECT_EQ(TFastTreeView::SelectedIndex(node("1")), 0);
  EXPECT_EQ(TFastTreeView::ImageIndex(node("2")), 1);
  EXPECT_EQ(TFastTreeView::SelectedIndex(node("2")), 1);
}

TEST_F(FastTree, HitTestCoversTheItemOnly) {
  QPixmap box(14, 14);
  box.fill(Qt::white);
  tree.SetStateImages({QIcon(box), QIcon(box), QIcon(box)});
  build(kHierarchy);
  tree.resize(600, 300);
  tree.expandAll();
  tree.show();
  QTreeWidgetItem* n = node("001.001");
  EXPECT_EQ(tree.HitTestItem(spotOf(tree, n, Spot::Label)), n);
  EXPECT_EQ(tree.HitTestItem(spotOf(tree, n, Spot::RightOfLabel)), nullptr);
  EXPECT_EQ(tree.HitTestItem(spotOf(tree, n, Spot::Indent)), nullptr);
  EXPECT_EQ(tree.HitTestItem(QPoint(5, 290)), nullptr);  // below the last node
}

// The label is measured in the font the tree draws it in, not the
// application's: a press on the end of a label in a larger font still hits.
TEST_F(FastTree, HitTestMeasuresTheLabelInTheTreesFont) {
  QFont large = tree.font();
  large.setPixelSize(3 * QFontMetrics(QApplication::font()).height());
  tree.setFont(large);
  build({{"001", ""}});
  tree.resize(900, 300);
  tree.show();
  QTreeWidgetItem* n = node("001");
  const QRect r = tree.visualItemRect(n);
  const int labelEnd = r.left() + QFontMetrics(large).horizontalAdvance(n->text(0));
  EXPECT_EQ(tree.HitTestItem(QPoint(labelEnd - 3, r.center().y())), n);
  EXPECT_EQ(tree.HitTestItem(QPoint(labelEnd + 40, r.center().y())), nullptr);
}

}  // namespace
