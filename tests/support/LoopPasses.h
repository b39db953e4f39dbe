#pragma once
// Notes every pass of the event loop, by a posted event that posts its
// successor: Qt delivers an event posted during a pass in the next pass.
// With an interval, only the first pass after each interval is noted, by a
// precise timer: a loop that waits on another thread is not kept spinning,
// and gaps longer than the interval still show whole.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QTimerEvent>

#include <vector>

class LoopPasses final : public QObject {
 public:
  explicit LoopPasses(const QElapsedTimer& clock, int intervalMs = 0) : clock_(clock) {
    if (intervalMs > 0)
      timer_ = startTimer(intervalMs, Qt::PreciseTimer);
    else
      post();
  }
  std::vector<double> at;  // ms on the clock, one per pass

 protected:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::Timer && static_cast<QTimerEvent*>(e)->timerId() == timer_) {
      note();
      return true;
    }
    if (e->type() != QEvent::User) return QObject::event(e);
    note();
    post();
    return true;
  }

 private:
  void note() { at.push_back(static_cast<double>(clock_.nsecsElapsed()) / 1e6); }
  // Qt takes the event over.
  void post() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }
  const QElapsedTimer& clock_;
  int timer_ = 0;
};
