#pragma once
// Counts the paint events a widget receives, for tests that check when a
// widget repaints and when it does not.
#include <QEvent>
#include <QObject>
#include <QWidget>

class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};
