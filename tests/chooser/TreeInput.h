#pragma once
// Mouse presses on a tree's nodes, as the user makes them, and lookups of
// nodes by code.
#include <QApplication>
#include <QMouseEvent>
#include <QString>
#include <QStringList>
#include <QTreeWidgetItemIterator>

#include <ostream>

#include "chooser/UFastTree.h"
#include "tests/support/QStringPrint.h"

// Where on a node's row a press lands.
enum class Spot { Label, RightOfLabel, Indent };

inline QPoint spotOf(TFastTreeView& tree, QTreeWidgetItem* node, Spot spot) {
  const QRect r = tree.visualItemRect(node);
  switch (spot) {
    case Spot::Label:
      return {r.left() + 3, r.center().y()};
    case Spot::RightOfLabel:
      return {r.right() - 3, r.center().y()};
    case Spot::Indent:
      return {r.left() - 4, r.center().y()};
  }
  return {};
}

inline void sendMouse(TFastTreeView& tree, QEvent::Type type, const QPoint& p, Qt::MouseButton button,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
  QMouseEvent e(type, p, tree.viewport()->mapToGlobal(p), button, held, modifiers);
  QApplication::sendEvent(tree.viewport(), &e);
}

// A press and its release at a point of the viewport.
inline void pressAt(TFastTreeView& tree, const QPoint& p, Qt::MouseButton button = Qt::LeftButton,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  sendMouse(tree, QEvent::MouseButtonPress, p, button, modifiers);
  sendMouse(tree, QEvent::MouseButtonRelease, p, button, modifiers);
}

inline void press(TFastTreeView& tree, QTreeWidgetItem* node, Qt::MouseButton button = Qt::LeftButton,
                  Spot spot = Spot::Label, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  pressAt(tree, spotOf(tree, node, spot), button, modifiers);
}

// A left double click on a node's label as Qt delivers it to a widget: the
// second press arrives as the double-click event.
inline void doubleClick(TFastTreeView& tree, QTreeWidgetItem* node) {
  const QPoint p = spotOf(tree, node, Spot::Label);
  press(tree, node);
  sendMouse(tree, QEvent::MouseButtonDblClick, p, Qt::LeftButton);
  sendMouse(tree, QEvent::MouseButtonRelease, p, Qt::LeftButton);
}

inline QTreeWidgetItem* nodeOf(TFastTreeView& tree, const QString& code) {
  for (QTreeWidgetItemIterator it(&tree); *it; ++it)
    if (const TNodeDataItem* d = TFastTreeView::NodeDataOf(*it); d && d->Code == code) return *it;
  return nullptr;
}

// Every node in tree order as "depth:code", with "+" for a checked node.
inline QStringList outline(TFastTreeView& tree) {
  QStringList out;
  for (QTreeWidgetItemIterator it(&tree); *it; ++it) {
    int depth = 0;
    for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent()) ++depth;
    const TNodeDataItem* d = TFastTreeView::NodeDataOf(*it);
    out << QStringLiteral("%1:%2%3")
               .arg(depth)
               .arg(d ? d->Code : QStringLiteral("?"), tree.IsNodeChecked(*it) ? "+" : "");
  }
  return out;
}

// The codes of the checked nodes, in tree order.
inline QStringList checkedCodes(TFastTreeView& tree) {
  QStringList out;
  for (QTreeWidgetItemIterator it(&tree); *it; ++it)
    if (tree.IsNodeChecked(*it)) out << TFastTreeView::NodeDataOf(*it)->Code;
  return out;
}
