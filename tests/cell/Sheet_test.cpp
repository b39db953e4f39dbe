// The sheet model under the control's operations.
#include <gtest/gtest.h>

#include "cell/CellText.h"
#include "cell/Sheet.h"
#include "cell/TCell.h"
#include "cell/TextMeasure.h"
#include "tests/cell/Register.h"

using cell::Edge;
using cell::Range;

namespace {

// The register as the main window lays it out: title, header, `problems` rows.
void layRegister(TCell& c, int problems) {
  c.SetColumnCount(5, 0);
  c.SetRowHeight(0, 150, 1, 0);
  c.SetCellText(1, 1, 0, QStringLiteral("2016年党内统计年报表审核情况登记表"));
  c.MergeRange(0, 1, 4, 1);
  c.SetCellAlign(1, 1, 0, 36);
  c.SetCellFontSize(1, 1, 0, 20.0f);
  c.SetRowHeight(0, 100, 2, 0);
  for (int col = 1; col <= 4; ++col) c.SetCellText(col, 2, 0, QStringLiteral("H%1").arg(col));
  c.SetColumnWidth(0, 350, 1, 0);
  c.SetColumnWidth(0, 1150, 2, 0);
  c.SetColumnWidth(0, 650, 3, 0);
  c.SetColumnWidth(0, 350, 4, 0);
  c.SetRowCount(3, 0);
  c.DrawRangeLines(1, 2, 4, 2, 0, 2, -1);
  for (int i = 0; i < problems; ++i) {
    const int r = c.GetRowCount(0);
    c.SetRowCount(r + 1, 0);
    c.SetCellText(1, r, 0, QStringLiteral("表%1").arg(i));
    c.SetCellTextStyle(2, r, 0, 2);
    c.SetCellText(2, r, 0, QStringLiteral("问题%1").arg(i));
  }
}

}  // namespace

TEST(SheetRows, CuttingDropsTextsMergesAndLinesAndGrowingAddsEmptyRows) {
  TCell c;
  layRegister(c, 3);
  const int g = c.GetRowCount(0);  // 6: rows 3, 4, 5 hold problems
  ASSERT_EQ(g, 6);
  c.DrawRangeLines(1, 2, 4, 5, 0, 2, -1);
  c.MergeRange(0, 5, 4, 5);
  c.SetRowHeight(0, 300, 4, 0);

  c.SetRowCount(3, 0);
  const cell::Sheet& s = c.sheet();
  EXPECT_EQ(s.rowCount(), 3);
  EXPECT_EQ(s.text(1, 3), QString());
  EXPECT_FALSE(s.mergeAt(1, 5).has_value());
  EXPECT_TRUE(s.mergeAt(1, 1).has_value()) << "title merge stays";
  EXPECT_EQ(s.text(1, 2), QStringLiteral("H1"));

  c.SetRowCount(6, 0);
  for (int r = 3; r < 6; ++r) {
    EXPECT_EQ(s.text(1, r), QString()) << r;
    EXPECT_EQ(s.text(2, r), QString()) << r;
    EXPECT_FALSE(s.wraps(2, r)) << r;
    EXPECT_FALSE(s.mergeAt(1, r).has_value()) << r;
    EXPECT_EQ(s.rowHeight(r), cell::Sheet::kDefaultRowHeight) << r;
    EXPECT_FALSE(s.border(2, r, Edge::Left)) << r;
    EXPECT_FALSE(s.border(2, r, Edge::Bottom)) << r;
  }
  // The header keeps its own grid, so the first new row is closed on top only.
  EXPECT_TRUE(s.border(2, 3, Edge::Top));
}

TEST(SheetRows, WritesOutsideTheCellsAreIgnored) {
  TCell c;
  c.SetColumnCount(5, 0);
  c.SetRowCount(3, 0);
  c.SetCellText(1, 3, 0, QStringLiteral("past the end"));
  c.SetCellText(5, 1, 0, QStringLiteral("past the last column"));
  c.SetCellText(0, 1, 0, QStringLiteral("label column"));
  c.SetCellText(1, 0, 0, QStringLiteral("label row"));
  c.SetRowCount(4, 0);
  EXPECT_EQ(c.sheet().text(1, 3), QString());
  EXPECT_EQ(c.sheet().text(5, 1), QString());
  EXPECT_EQ(c.sheet().text(0, 1), QString());
  EXPECT_EQ(c.sheet().text(1, 0), QString());
}

TEST(SheetMerge, AMergeFromColumn0ReadsBackAsGivenAndShowsColumn1) {
  TCell c;
  layRegister(c, 0);
  const cell::Sheet& s = c.sheet();
  for (int col : {0, 1, 4}) {
    ASSERT_TRUE(s.mergeAt(col, 1).has_value()) << col;
    EXPECT_EQ(*s.mergeAt(col, 1), (Range{0, 1, 4, 1}));
  }
  EXPECT_EQ(*s.dataPart(*s.mergeAt(1, 1)), (Range{1, 1, 4, 1}));
  EXPECT_FALSE(s.mergeAt(1, 2).has_value());
  EXPECT_EQ(s.spanWidth(1, 1), 350 + 1150 + 650 + 350);
}

TEST(SheetMerge, OverlappingMergeReplacesAndSingleCellsDoNotMerge) {
  cell::Sheet s;
  s.merge({1, 1, 3, 1});
  s.merge({2, 1, 4, 2});
  ASSERT_EQ(s.merges().size(), 1u);
  EXPECT_EQ(s.merges()[0], (Range{2, 1, 4, 2}));
  s.merge({0, 5, 1, 5});  // one data cell only
  s.merge({3, 7, 3, 7});
  EXPECT_EQ(s.merges().size(), 1u);
}

TEST(SheetLines, SignatureRowEdgesLeaveOnlyTheLineUnderTheTable) {
  TCell c;
  layRegister(c, 2);
  const int g = c.GetRowCount(0);  // 5
  c.DrawRangeLines(1, 2, 4, g, 0, 2, -1);
  c.SetRowCount(g + 1, 0);
  // Give the signature row a full grid first, so that every edge code has work to do.
  c.DrawRangeLines(0, g, 4, g, 0, 2, -1);
  c.MergeRange(0, g, 4, g);
  c.SetRangeEdge(0, g, 4, g, 5);
  c.SetRangeEdge(0, g, 4, g, 2);
  c.SetRangeEdge(0, g, 4, g, 3);
  const cell::Sheet& s = c.sheet();
  for (int col = 1; col <= 4; ++col) {
    EXPECT_TRUE(s.border(col, g, Edge::Top)) << col;
    EXPECT_TRUE(s.border(col, g - 1, Edge::Bottom)) << col;
  }
  EXPECT_FALSE(s.border(1, g, Edge::Left));
  EXPECT_FALSE(s.border(4, g, Edge::Right));
  for (int col = 1; col < 4; ++col) EXPECT_FALSE(s.border(col, g, Edge::Right)) << col;
  // The table above keeps its grid.
  for (int col = 1; col <= 4; ++col) {
    EXPECT_TRUE(s.border(col, 3, Edge::Left)) << col;
    EXPECT_TRUE(s.border(col, 3, Edge::Right)) << col;
  }
}

TEST(SheetLines, AGridDrawnPastTheLastRowAppearsWhenTheRowIsAdded) {
  TCell c;
  c.SetColumnCount(5, 0);
  c.SetRowCount(3, 0);
  c.DrawRangeLines(1, 2, 4, 3, 0, 2, -1);  // row 3 does not exist yet
  const cell::Sheet& s = c.sheet();
  EXPECT_FALSE(s.border(1, 3, Edge::Bottom));
  c.SetRowCount(4, 0);
  for (int col = 1; col <= 4; ++col) {
    EXPECT_TRUE(s.border(col, 3, Edge::Top)) << col;
    EXPECT_TRUE(s.border(col, 3, Edge::Bottom)) << col;
  }
  // Lines drawn ahead go with a cut, like everything else past the count.
  c.SetRowCount(3, 0);
  c.DrawRangeLines(1, 5, 4, 5, 0, 2, -1);
  c.SetRowCount(4, 0);
  c.SetRowCount(6, 0);
  EXPECT_TRUE(s.border(1, 5, Edge::Bottom));
  EXPECT_FALSE(s.border(1, 3, Edge::Bottom));
  c.SetRowCount(3, 0);
  c.DrawRangeLines(1, 4, 4, 4, 0, 2, -1);
  c.SetRowCount(3, 0);  // no growth: still pending
  c.SetRowCount(2, 0);  // the cut drops it
  c.SetRowCount(5, 0);
  EXPECT_FALSE(s.border(1, 4, Edge::Bottom));
}

// The register's grid reaches its signature row however long it is, also past
// the 65,536 rows of a worksheet; a grid drawn far ahead keeps no more than
// its range until rows come.
TEST(SheetLines, AGridReachesTheLastRowAtAnyRowCount) {
  TCell c;
  const int problems = 70000;
  celltest::fillRegister(c, celltest::numberedProblems(problems));
  const cell::Sheet& s = c.sheet();
  const int signature = problems + 3;
  ASSERT_EQ(s.rowCount(), signature + 1);
  for (int row : {65535, 65536, 65537, signature - 1}) {
    for (int col = 1; col <= 4; ++col) {
      EXPECT_TRUE(s.border(col, row, Edge::Left)) << row << ' ' << col;
      EXPECT_TRUE(s.border(col, row, Edge::Bottom)) << row << ' ' << col;
    }
    EXPECT_TRUE(s.border(4, row, Edge::Right)) << row;
  }
  EXPECT_TRUE(s.border(2, signature, Edge::Top));
  EXPECT_TRUE(s.border(2, signature, Edge::Bottom));
  EXPECT_FALSE(s.border(1, signature, Edge::Left));

  TCell ahead;
  ahead.SetColumnCount(5, 0);
  ahead.SetRowCount(3, 0);
  ahead.DrawRangeLines(1, 2, 4, 2000000000, 0, 2, -1);
  ahead.SetRowCount(100003, 0);
  EXPECT_TRUE(ahead.sheet().border(3, 100002, Edge::Bottom));
  EXPECT_TRUE(ahead.sheet().border(3, 2, Edge::Top));
}

TEST(SheetCodes, AlignmentCodesAndTextStyle) {
  struct Case {
    int code;
    cell::HAlign h;
    cell::VAlign v;
  };
  const Case cases[] = {
      {32, cell::HAlign::Left, cell::VAlign::Centre},
      {34, cell::HAlign::Right, cell::VAlign::Centre},
      {36, cell::HAlign::Centre, cell::VAlign::Centre},
  };
  TCell c;
  for (const Case& k : cases) {
    c.SetCellAlign(1, 1, 0, k.code);
    EXPECT_EQ(c.sheet().hAlign(1, 1), k.h) << k.code;
    EXPECT_EQ(c.sheet().vAlign(1, 1), k.v) << k.code;
  }
  c.SetCellTextStyle(2, 3, 0, 2);
  EXPECT_TRUE(c.sheet().wraps(2, 3));
  c.SetCellTextStyle(2, 3, 0, 0);
  EXPECT_FALSE(c.sheet().wraps(2, 3));
}

TEST(SheetFit, LongWrappedTextGrowsTheRowInProportion) {
  TCell c;
  layRegister(c, 3);
  const QString line = QStringLiteral("本单位党员总数与各项分类合计不一致，请核实后修改。");
  c.SetCellText(2, 3, 0, line);
  c.SetCellText(2, 4, 0, line.repeated(6));
  c.SetCellText(2, 5, 0, line.repeated(6));
  c.SetCellTextStyle(2, 5, 0, 0);  // same text, not wrapping

  const int one = c.GetFitRowHeight(3);
  const int six = c.GetFitRowHeight(4);
  const int unwrapped = c.GetFitRowHeight(5);
  EXPECT_GE(one, cell::Sheet::kDefaultRowHeight / 2);
  EXPECT_GT(six, 3 * one) << "six lines' worth of text needs several lines";
  EXPECT_EQ(unwrapped, one) << "an unwrapped text stays on one line";

  // A narrower column needs more lines for the same text.
  c.SetColumnWidth(0, 575, 2, 0);
  EXPECT_GT(c.GetFitRowHeight(4), six);
}

TEST(SheetFit, LargerFontNeedsMoreHeightAndMergedRowsUseTheirWidth) {
  TCell c;
  layRegister(c, 1);
  const int header = c.GetFitRowHeight(2);
  c.SetCellFontSize(1, 2, 0, 24.0f);
  EXPECT_GT(c.GetFitRowHeight(2), header);

  // The title merge spans all four columns, so it is one line at 20 points.
  const int title = c.GetFitRowHeight(1);
  EXPECT_GT(title, header);
  EXPECT_LT(title, 2 * 20 * cell::kUnitsPerPoint + 2 * cell::kCellPaddingY);
  // A row beyond the sheet fits nothing.
  EXPECT_EQ(c.GetFitRowHeight(99), cell::Sheet::kDefaultRowHeight);
}

TEST(SheetPrint, TitleRowsAndPageTexts) {
  TCell c;
  layRegister(c, 1);
  c.SetPageTexts(QString(), QStringLiteral("第&P页/共&S页"), QString());
  c.SetPrintTitleRows(1, 2);
  ASSERT_TRUE(c.sheet().printTitleRows().has_value());
  EXPECT_EQ(*c.sheet().printTitleRows(), std::make_pair(1, 2));
  EXPECT_EQ(c.sheet().pageTexts().centre, QStringLiteral("第&P页/共&S页"));
  c.SetPrintTitleRows(1, 7);  // past the last row
  EXPECT_FALSE(c.sheet().printTitleRows().has_value());
}
