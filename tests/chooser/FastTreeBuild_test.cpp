// The tree build against a plain model of its passes: each pass walks the
// whole queue, attaching an item under the pass's node when it names that
// node's code, or under the nearest node on the ancestor line of the node
// attached last; then every node gets its pass while items wait. The tree
// must give the same nodes in the same order and leave the same items
// waiting, in the same order, for a later build.
#include <QStringList>

#include <gtest/gtest.h>

#include <list>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "chooser/UFastTree.h"
#include "tests/chooser/TreeInput.h"

namespace {

// code, parent code
using Entry = std::pair<QString, QString>;

class PassModel {
 public:
  explicit PassModel(QString root) : root_(std::move(root)) {}

  void build(const std::vector<Entry>& batch) {
    queue_.insert(queue_.end(), batch.begin(), batch.end());
    pass(nullptr, root_);
  }

  QStringList outline() const {
    QStringList out;
    for (const auto& n : top_) write(*n, 0, out);
    return out;
  }
  int pending() const { return static_cast<int>(queue_.size()); }

 private:
  struct Node {
    QString code;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;
  };

  void pass(Node* parentNode, const QString& code) {
    Node* last = nullptr;
    for (auto it = queue_.begin(); it != queue_.end();) {
      Node* target = nullptr;
      bool found = false;
      if (it->second == code) {
        found = true;
        target = parentNode;
      } else if (last) {
        for (Node* n = last; n && !found; n = n->parent)
          if (n->code == it->second) {
            found = true;
            target = n;
          }
        if (!found) last = nullptr;
      }
      if (!found) {
        ++it;
        continue;
      }
      auto node = std::make_unique<Node>();
      node->code = it->first;
      node->parent = target;
      last = node.get();
      (target ? target->children : top_).push_back(std::move(node));
      it = queue_.erase(it);
    }
    if (queue_.empty()) return;
    if (!parentNode) {
      for (size_t i = 0; i < top_.size(); ++i) pass(top_[i].get(), top_[i]->code);
    } else {
      const size_t count = parentNode->children.size();
      for (size_t i = 0; i < count; ++i)
        pass(parentNode->children[i].get(), parentNode->children[i]->code);
    }
  }

  static void write(const Node& n, int depth, QStringList& out) {
    out << QStringLiteral("%1:%2").arg(depth).arg(n.code);
    for (const auto& c : n.children) write(*c, depth + 1, out);
  }

  QString root_;
  std::list<Entry> queue_;
  std::vector<std::unique_ptr<Node>> top_;
};

struct Shape {
  std::string name;
  std::vector<std::vector<Entry>> batches;  // one BuildTree after each
  QString root = QString();
};

void PrintTo(const Shape& s, std::ostream* os) { *os << s.name; }

// A random forest of up to `size` items in random order: parents drawn from
// the codes before them, some naming a code that never comes, some codes
// twice; up to `batches` builds.
Shape randomShape(unsigned seed, int size, int batches) {
  std::mt19937 rng(seed);
  const auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  std::vector<Entry> all;
  for (int i = 0; i < size; ++i) {
    const int kind = pick(10);
    QString parent;
    if (kind == 0) parent = QStringLiteral("gone%1").arg(pick(5));
    else if (kind > 2 && i > 0) parent = all[static_cast<size_t>(pick(i))].first;
    const QString code = pick(20) == 0 && i > 0 ? all[static_cast<size_t>(pick(i))].first
                                                 : QStringLiteral("c%1").arg(i);
    all.push_back({code, parent});
  }
  // Mostly in order, with stretches shuffled.
  for (int k = 0; k < size / 4; ++k) std::swap(all[static_cast<size_t>(pick(size))], all[static_cast<size_t>(pick(size))]);
  Shape s{"Random" + std::to_string(seed), {}, QString()};
  const int per = (size + batches - 1) / batches;
  for (int b = 0; b < batches; ++b) {
    const auto from = all.begin() + std::min(size, b * per);
    const auto to = all.begin() + std::min(size, (b + 1) * per);
    s.batches.emplace_back(from, to);
  }
  return s;
}

std::vector<Shape> shapes() {
  std::vector<Shape> out = {
      {"CodeOrdered",
       {{{"1", ""}, {"1.1", "1"}, {"1.1.1", "1.1"}, {"1.2", "1"}, {"2", ""}, {"2.1", "2"}}}},
      // Orphans, one with a subtree, between attachable items.
      {"Orphans",
       {{{"1", ""}, {"1.1", "1"}, {"1.9", "1.8"}, {"1.9.1", "1.9"}, {"1.2", "1"}, {"1.2.1", "1.2"},
         {"x", "nowhere"}, {"2", ""}, {"2.1", "2"}}}},
      {"ChildrenBeforeParents",
       {{{"1.1.1", "1.1"}, {"1.1", "1"}, {"1.2", "1"}, {"1", ""}, {"2.1", "2"}, {"2", ""}}}},
      // The parent of 1.3 comes after its siblings' subtrees, and 1.3 after an
      // orphan that unsets the last node: it lands in a deeper pass, and
      // items after it walk up from there to ancestors of that pass's node.
      {"ParentAppearsLate",
       {{{"1", ""}, {"1.1", "1"}, {"1.2.1", "1.2"}, {"1.3.1", "1.3"}, {"1.2", "1"}, {"o", "none"},
         {"1.3", "1"}, {"1.3.2", "1.3"}, {"1.4", "1"}, {"2.1", "2"}, {"2", ""}, {"1.1.1", "1.1"}}}},
      {"DuplicateCodes",
       {{{"a", ""}, {"b", "a"}, {"a", ""}, {"c", "a"}, {"b", "a"}, {"d", "b"}, {"e", "z"}, {"z", "b"}}}},
      {"NoTopLevelItem", {{{"a", "x"}, {"b", "a"}}}},
      {"OtherRoot", {{{"r1", "R"}, {"r1.1", "r1"}, {"q", ""}, {"r2", "R"}}}, QStringLiteral("R")},
      // What waits after one build is tried again, in its order, by the next.
      {"LaterBuilds",
       {{{"1", ""}, {"1.1.1", "1.1"}, {"1.2.1", "1.2"}, {"1.1.2", "1.1"}},
        {{"1.2", "1"}, {"1.1", "1"}},
        {{"3.1", "3"}},
        {}}},
  };
  for (unsigned seed = 1; seed <= 40; ++seed) out.push_back(randomShape(seed, 20 + static_cast<int>(seed) * 7, 1 + seed % 3));
  return out;
}

class FastTreeAgainstPasses : public ::testing::TestWithParam<Shape> {};

TEST_P(FastTreeAgainstPasses, SameNodesOrderAndWaitingItems) {
  const Shape& shape = GetParam();
  TFastTreeView tree;
  tree.SetRootParentId(shape.root);
  PassModel model(shape.root);
  for (size_t b = 0; b < shape.batches.size(); ++b) {
    for (const Entry& e : shape.batches[b]) {
      auto item = std::make_unique<TNodeDataItem>();
      item->SetCode(e.first);
      item->SetParentCode(e.second);
      tree.QueueItem(std::move(item));
    }
    tree.BuildTree();
    model.build(shape.batches[b]);
    ASSERT_EQ(outline(tree), model.outline()) << "after build " << b;
    ASSERT_EQ(tree.PendingCount(), model.pending()) << "after build " << b;
    ASSERT_EQ(tree.CodeIndex().size(), model.outline().size());
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, FastTreeAgainstPasses, ::testing::ValuesIn(shapes()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
