#pragma once
// What a long step (start-up, working tables, check run, import) sees of the
// progress window: a message line and a gauge. pump() lets pending window
// messages run so the window repaints; the window's implementation is the one
// place where that happens.
#include <QString>

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void setMessage(const QString& text) = 0;
  virtual void setMinimum(int minimum) = 0;
  virtual void setMaximum(int maximum) = 0;
  // Values outside minimum..maximum are held at the nearer limit.
  virtual void setProgress(int value) = 0;
  virtual int progress() const = 0;
  virtual void pump() = 0;

  void step(int by = 1) { setProgress(progress() + by); }
};
