// Times the chooser's tree: queueing the organisations, BuildTree and the
// first showing of the tree (what opening the chooser costs beside its
// query), then the destruction, over a code-ordered hierarchy (ten children
// per node, four levels deep, as many top-level organisations as it takes)
// in which one organisation in eight names a parent that is not in use, so
// it and everything below it stay queued. Every node then gets a pass over
// what is left; the build must still grow linearly with the size.
//
//   build/bench/chooser/chooser_bench [organisations]     (default: a series)
#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <memory>

#include "chooser/UFastTree.h"

namespace {

struct Queued {
  int count = 0;
  int orphans = 0;  // named a parent not in use
};

// Queues the subtree below parent in code order; every eighth organisation
// is orphaned.
void queueSubtree(TFastTreeView& tree, const QString& parent, int depth, int& left, Queued& q) {
  for (int i = 1; i <= 10 && left > 0; ++i) {
    const QString code = parent + QStringLiteral(".%1").arg(i, 3, 10, QLatin1Char('0'));
    auto item = std::make_unique<TNodeDataItem>();
    item->SetCode(code);
    const bool orphan = ++q.count % 8 == 0;
    q.orphans += orphan ? 1 : 0;
    item->SetParentCode(orphan ? parent + QStringLiteral(".gone") : parent);
    item->SetCaption(QStringLiteral("党支部") + code);
    tree.QueueItem(std::move(item));
    --left;
    if (depth < 3) queueSubtree(tree, code, depth + 1, left, q);
  }
}

void run(int organisations) {
  QElapsedTimer t;
  t.start();
  auto tree = std::make_unique<TFastTreeView>();
  tree->resize(400, 600);
  tree->CheckedOption().SetShowCheckBox(true);
  tree->CheckedOption().SetCheckedImageIndex(1);
  tree->CheckedOption().SetUnCheckedImageIndex(2);
  int left = organisations;
  Queued q;
  for (int top = 1; left > 0; ++top) {
    const QString code = QStringLiteral("%1").arg(top, 3, 10, QLatin1Char('0'));
    auto item = std::make_unique<TNodeDataItem>();
    item->SetCode(code);
    item->SetCaption(QStringLiteral("市委") + code);
    tree->QueueItem(std::move(item));
    ++q.count;
    --left;
    queueSubtree(*tree, code, 1, left, q);
  }
  const double queue = static_cast<double>(t.nsecsElapsed()) / 1e6;
  t.restart();
  tree->BuildTree();
  const double build = static_cast<double>(t.nsecsElapsed()) / 1e6;
  t.restart();
  if (QTreeWidgetItem* first = tree->topLevelItem(0)) {
    tree->scrollToItem(first);
    first->setExpanded(true);
  }
  tree->show();
  QApplication::processEvents();
  const double show = static_cast<double>(t.nsecsElapsed()) / 1e6;
  const int shown = tree->CodeIndex().size();
  t.restart();
  tree.reset();
  const double teardown = static_cast<double>(t.nsecsElapsed()) / 1e6;
  std::printf("%7d organisations (%5d orphaned, %6d shown): queue %7.1f ms, build %8.1f ms, show %6.1f ms, "
              "open %8.1f ms, teardown %7.1f ms\n",
              organisations, q.orphans, shown, queue, build, show, queue + build + show, teardown);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc > 1) {
    run(QString::fromLocal8Bit(argv[1]).toInt());
    return 0;
  }
  for (int n : {12500, 25000, 50000, 100000}) run(n);
  return 0;
}
