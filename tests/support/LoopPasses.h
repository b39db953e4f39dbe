#pragma once
// Notes every pass of the event loop, by a posted event that posts its
// successor: Qt delivers an event posted during a pass in the next pass.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>

#include <vector>

class LoopPasses final : public QObject {
 public:
  explicit LoopPasses(const QElapsedTimer& clock) : clock_(clock) { post(); }
  std::vector<double> at;  // ms on the clock, one per pass

 protected:
  bool event(QEvent* e) override {
    if (e->type() != QEvent::User) return QObject::event(e);
    at.push_back(static_cast<double>(clock_.nsecsElapsed()) / 1e6);
    post();
    return true;
  }

 private:
  // Qt takes the event over.
  void post() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }
  const QElapsedTimer& clock_;
};
