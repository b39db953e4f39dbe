// Times BuildTree over a code-ordered hierarchy (ten children per node, four
// levels deep, as many top-level organisations as it takes), then the
// destruction of the tree, and prints the times. A table ordered by code must
// attach in one pass, so the build should grow linearly with the size.
#include <QApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <cstdio>
#include <memory>

#include "chooser/UFastTree.h"

namespace {

// Queues the subtree below parent in code order.
void queueSubtree(TFastTreeView& tree, const QString& parent, int depth, int& left) {
  for (int i = 1; i <= 10 && left > 0; ++i) {
    const QString code = parent + QStringLiteral(".%1").arg(i, 3, 10, QLatin1Char('0'));
    auto item = std::make_unique<TNodeDataItem>();
    item->SetCode(code);
    item->SetParentCode(parent);
    item->SetCaption(QStringLiteral("党支部") + code);
    tree.QueueItem(std::move(item));
    --left;
    if (depth < 3) queueSubtree(tree, code, depth + 1, left);
  }
}

double run(int organisations) {
  auto tree = std::make_unique<TFastTreeView>();
  tree->CheckedOption().SetShowCheckBox(true);
  tree->CheckedOption().SetCheckedImageIndex(1);
  tree->CheckedOption().SetUnCheckedImageIndex(2);
  int left = organisations;
  for (int top = 1; left > 0; ++top) {
    const QString code = QStringLiteral("%1").arg(top, 3, 10, QLatin1Char('0'));
    auto item = std::make_unique<TNodeDataItem>();
    item->SetCode(code);
    tree->QueueItem(std::move(item));
    --left;
    queueSubtree(*tree, code, 1, left);
  }
  QElapsedTimer t;
  t.start();
  tree->BuildTree();
  const double build = t.nsecsElapsed() / 1e6;
  t.restart();
  tree.reset();
  const double teardown = t.nsecsElapsed() / 1e6;
  std::printf("%8d organisations: build %8.1f ms, teardown %8.1f ms\n", organisations, build,
              teardown);
  return build;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc > 1) {
    run(QString::fromLocal8Bit(argv[1]).toInt());
    return 0;
  }
  for (int n : {1000, 10000, 50000}) run(n);
  return 0;
}
