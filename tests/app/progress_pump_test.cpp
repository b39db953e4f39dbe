// How often the progress window lets the event loop run: at every change of
// the whole per cent or of the message line, and otherwise at most every 15 ms.
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include "app/uProgressBar.h"
#include "tests/support/LoopPasses.h"

TEST(Progress, PumpPassesOnEveryWholePerCentOrMessageAndOtherwiseEvery15ms) {
  QElapsedTimer clock;
  clock.start();
  ProgressWindow p(nullptr);
  p.setMaximum(1000);
  LoopPasses passes(clock);
  p.pump();
  ASSERT_EQ(passes.at.size(), 1u);

  // Each step of 10 in 1000 is another whole per cent: one pass each.
  for (size_t i = 1; i <= 20; ++i) {
    p.step(10);
    p.pump();
    EXPECT_EQ(passes.at.size(), 1 + i);
  }
  p.setMessage(QStringLiteral("other"));
  p.pump();
  EXPECT_EQ(passes.at.size(), 22u);

  // A step below a whole per cent, then the same gauge pumped as fast as the
  // loop goes for 150 ms.
  p.step(1);
  const size_t before = passes.at.size();
  QElapsedTimer t;
  t.start();
  int pumps = 0;
  for (; t.elapsed() < 150; ++pumps) p.pump();
  const size_t during = passes.at.size() - before;
  // The passes are counted rather than their gaps measured: a pass is noted
  // when its event is delivered, which a loaded machine may delay by some
  // milliseconds after the pump let the loop run, so one gap can look short
  // while the pump kept its 15 ms; and the count allows one such late pass
  // at each end of the 150 ms.
  EXPECT_GE(during, 2u);
  EXPECT_LE(during, 150u / 15u + 2u);
  EXPECT_GT(pumps, 100 * static_cast<int>(during));
}
