#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/uProgressBar.h"
#include "tests/support/PaintCounter.h"

TEST(Progress, GaugeShowsWholePercentAndHoldsValuesInRange) {
  TGauge g;
  g.setMinValue(0);
  g.setMaxValue(150);
  struct Case {
    int set, held, percent;
  } cases[] = {{5, 5, 3}, {145, 145, 96}, {148, 148, 98}, {151, 150, 100}, {-3, 0, 0}};
  for (const Case& c : cases) {
    g.setProgress(c.set);
    EXPECT_EQ(g.progress(), c.held);
    EXPECT_EQ(g.percentDone(), c.percent);
  }
  g.setMaxValue(100);  // a lower maximum holds the progress too
  g.setProgress(150);
  EXPECT_EQ(g.progress(), 100);
}

TEST(Progress, WindowLayoutAndPlainShow) {
  ProgressWindow p(nullptr);
  TFmProgressBar& w = p.window();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.size(), QSize(401, 93));
  EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(w.LabInfo->geometry(), QRect(16, 16, 369, 25));
  EXPECT_EQ(w.Gauge1->geometry(), QRect(16, 51, 369, 23));
  ASSERT_NE(w.marqueeBar(), nullptr);
  EXPECT_FALSE(w.marqueeBar()->isVisible());
  EXPECT_FALSE(w.Timer1->isActive());
  EXPECT_TRUE(w.Gauge1->showText());
}

TEST(Progress, MarqueeStepsBySeventhsAndWraps) {
  TFmProgressBar w(nullptr);
  w.setMarquee(true);
  w.show();
  const QProgressBar* bar = w.marqueeBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->isVisible());
  EXPECT_TRUE(w.Timer1->isActive());
  EXPECT_FALSE(w.Gauge1->showText());
  EXPECT_EQ(w.Timer1->interval(), 300);
  EXPECT_EQ(bar->geometry(), QRect(16, 51, 50, 23));
  std::vector<int> lefts;
  for (int i = 0; i < 7; ++i) {
    w.Timer1Timer();
    lefts.push_back(bar->x());
  }
  EXPECT_EQ(lefts, (std::vector<int>{68, 120, 172, 224, 276, 328, 16}));
  // A second show resets the same bar.
  w.hide();
  w.setMarquee(false);
  w.show();
  EXPECT_EQ(w.marqueeBar(), bar);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_FALSE(w.Timer1->isActive());
  w.close();
  EXPECT_FALSE(w.Timer1->isActive());
}

TEST(Progress, ObserverSeesTheWindowAtEveryPump) {
  std::vector<std::pair<QString, int>> seen;
  ProgressWindow::setObserver([&](const TFmProgressBar& w) {
    seen.emplace_back(w.LabInfo->text(), w.Gauge1->progress());
  });
  {
    ProgressWindow p(nullptr);
    p.setMessage("m");
    p.setMaximum(10);
    p.step(3);
    p.pump();
    p.step(20);
    p.pump();
  }
  ProgressWindow::setObserver(nullptr);
  EXPECT_EQ(seen, (std::vector<std::pair<QString, int>>{{"m", 3}, {"m", 10}}));
}

// A run steps the gauge once per row; only the steps that change the whole
// percentage it shows may cost a paint, and those must paint at once.
TEST(Progress, StepsPaintTheGaugeOnlyWhenItsPercentageChanges) {
  ProgressWindow p(nullptr);
  p.setMaximum(1000);
  p.setProgress(0);
  PaintCounter counter(p.window().Gauge1);
  struct Case {
    int to;
    bool paints;
  } cases[] = {{1, false}, {9, false}, {10, true}, {19, false}, {20, true}, {1000, true}, {1000, false}};
  for (const Case& c : cases) {
    const int before = counter.paints;
    p.setProgress(c.to);
    EXPECT_EQ(counter.paints > before, c.paints) << "to " << c.to;
    EXPECT_EQ(p.progress(), c.to);
  }
  // Nothing left over for the event loop either.
  const int before = counter.paints;
  QCoreApplication::processEvents();
  EXPECT_EQ(counter.paints, before);
}
