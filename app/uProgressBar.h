#pragma once
// TFmProgressBar: the small borderless, always-on-top window that tells the
// user a long step is running (a message line and a percentage gauge), with
// an optional marquee mode that no caller switches on.
// ProgressWindow owns one such window for the length of one step and is the
// ProgressSink that long steps report to.
#include <QElapsedTimer>
#include <QFrame>
#include <QWidget>

#include <functional>
#include <memory>

#include "check/ProgressSink.h"

class QLabel;
class QProgressBar;
class QTimer;

// The gauge: a blue bar with the whole percentage centred on it.
class TGauge : public QWidget {
  Q_OBJECT
 public:
  explicit TGauge(QWidget* parent = nullptr);
  void setMinValue(int v);
  void setMaxValue(int v);
  void setProgress(int v);  // held within minValue..maxValue; repaints only a new percentage
  int minValue() const { return min_; }
  int maxValue() const { return max_; }
  int progress() const { return progress_; }
  int percentDone() const;  // whole per cent, fraction dropped
  void setShowText(bool show);
  bool showText() const { return showText_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  int clamp(int v) const;
  int min_ = 0;
  int max_ = 100;
  int progress_ = 0;
  bool showText_ = true;
};

class TFmProgressBar : public QWidget {
  Q_OBJECT
 public:
  explicit TFmProgressBar(QWidget* owner);
  ~TFmProgressBar() override;

  QFrame* Panel1 = nullptr;
  QLabel* LabInfo = nullptr;
  TGauge* Gauge1 = nullptr;
  QTimer* Timer1 = nullptr;

  void setMarquee(bool on) { Marquee = on; }
  const QProgressBar* marqueeBar() const { return MarqueeBar; }

  void FormShow();
  void Timer1Timer();
  void FormClose();

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  QProgressBar* MarqueeBar = nullptr;
  bool Marquee = false;
};

class ProgressWindow final : public ProgressSink {
 public:
  // Creates the window with owner and shows it modelessly, centred over the
  // owner (on the screen when there is no visible owner yet).
  explicit ProgressWindow(QWidget* owner);
  ~ProgressWindow() override;  // frees the window
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  void setMessage(const QString& text) override;
  void setMinimum(int minimum) override;
  void setMaximum(int maximum) override;
  void setProgress(int value) override;
  int progress() const override;
  // Lets pending window messages run when the gauge shows another whole per
  // cent or the message line changed, and otherwise at most every 15 ms: a
  // pass of the event loop costs more than a row of most steps. With a pass
  // at every pump, the register fill of a check run of 57,047 problem rows
  // takes 224 s instead of 0.23 (check_bench rc_bench_5000, "register fill").
  void pump() override;

  TFmProgressBar& window() { return *window_; }

  // Called at every pump with the window as the user sees it; tests record the
  // gauge through it. The program installs none.
  using Observer = std::function<void(const TFmProgressBar&)>;
  static void setObserver(Observer observer);

 private:
  std::unique_ptr<TFmProgressBar> window_;
  QElapsedTimer lastPass_;
  int lastPercent_ = -1;
  QString lastMessage_;
};
